# Shared by the checks: their arguments, the documents they convert and a
# fresh environment to load R code into.
args <- commandArgs(trailingOnly = TRUE)
if (length(args) != 4) stop("usage: CHECK.R HERE XML2SLIST XML2R PROJECT_SOURCE_DIR")
here <- normalizePath(args[1], mustWork = TRUE)
xml2slist <- normalizePath(args[2], mustWork = TRUE)
xml2r <- normalizePath(args[3], mustWork = TRUE)
source_dir <- normalizePath(args[4], mustWork = TRUE)

# Every case document; golden cases with an `env` file are traced runs.
documents <- function() {
  golden <- list.files(file.path(source_dir, "tests/golden"), "^input\\.xml$",
                       recursive = TRUE, full.names = TRUE)
  c(golden[!file.exists(file.path(dirname(golden), "env"))],
    Sys.glob(file.path(source_dir, "examples/*/input.xml")),
    file.path(source_dir, "examples/record.xml"),
    Sys.glob(file.path(source_dir, "tests/roundtrip/documents/*.xml")))
}

# Converts `document` with xml2r into `program`; the exit status.
convert <- function(document, program) {
  system2(xml2r, shQuote(document), stdout = program, stderr = FALSE)
}

# The objects `program` builds, in an environment of their own.
load_program <- function(program, parent = baseenv()) {
  e <- new.env(parent = parent)
  sys.source(program, envir = e, keep.source = FALSE)
  e
}
