"""Parse-only peer for the comparison: runs Python's expat over a file read
in chunks of 1 MiB, with no handlers, and exits 1 if the document is not
well formed."""
import sys
import xml.parsers.expat

CHUNK = 1 << 20


def main() -> int:
    parser = xml.parsers.expat.ParserCreate()
    try:
        with open(sys.argv[1], "rb") as document:
            while True:
                chunk = document.read(CHUNK)
                if not chunk:
                    break
                parser.Parse(chunk, False)
        parser.Parse(b"", True)
    except xml.parsers.expat.ExpatError as error:
        print(f"{sys.argv[1]}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
