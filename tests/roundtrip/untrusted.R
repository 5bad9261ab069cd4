# Documents written to make their converted output run code when sourced:
# NUL bytes inside quoted values once left strings unclosed, so the text
# after them became R code. Converts each document with xml2slist and the
# awk script, evaluates the result in a fresh R session and checks that it
# builds exactly the expected objects and nothing else.
#   Rscript --vanilla untrusted.R XML2SLIST SLIST2R_AWK EVALUATE_R
args <- commandArgs(trailingOnly = TRUE)
if (length(args) != 3) stop("usage: untrusted.R XML2SLIST SLIST2R_AWK EVALUATE_R")
converter <- normalizePath(args[1], mustWork = TRUE)
awk_script <- normalizePath(args[2], mustWork = TRUE)
evaluator <- normalizePath(args[3], mustWork = TRUE)
rscript <- file.path(R.home("bin"), "Rscript")

# A document from text pieces, with "\\0" standing for a NUL byte.
document_bytes <- function(text) {
  pieces <- strsplit(text, "\\0", fixed = TRUE)[[1]]
  bytes <- charToRaw(pieces[1])
  for (piece in pieces[-1]) bytes <- c(bytes, as.raw(0), charToRaw(piece))
  bytes
}

cases <- list(
  list(name = "NUL in a double-quoted attribute value",
       document = '<?xml version="1.0"?>\n<doc k="harmless\\0">;pwned = TRUE;#</doc>\n',
       expected = list(doc = structure(list(";pwned = TRUE;#"), k = "harmless"))),
  list(name = "NUL in a single-quoted value and an Id",
       document = "<?p a='1'?>\n<r k='x\\0'>;pwned = TRUE;#<s Id=\"i\\0\">;pwned2 = TRUE;#</s></r>\n",
       expected = list(r = structure(list(";pwned = TRUE;#",
                                          s = structure(list(";pwned2 = TRUE;#"), Id = "i")),
                                     k = "x"))),
  list(name = "NUL in an entity value",
       document = '<?p a="1"?>\n<!ENTITY e "v\\0w">\n<doc j="&e;">;pwned = TRUE;#</doc>\n',
       expected = list(doc = structure(list(";pwned = TRUE;#"), j = "v"))),
  list(name = "NUL in strings of content",
       document = '<?p a="1"?>\n<doc>x "q\\0r" y<DataVector>1 2</DataVector>\'s\\0";pwned = TRUE;#\'</doc>\n',
       expected = list(doc = list("x \"q\" y", DataVector = list(c(1, 2)), " 's'"))))

failed <- 0L
for (case in cases) {
  work <- tempfile("untrusted")
  dir.create(work)
  input <- file.path(work, "input.xml")
  writeBin(document_bytes(case$document), input)
  program <- file.path(work, "program.R")
  converted <- file.path(work, "output.s")
  status <- system2(converter, shQuote(input), stdout = converted)
  system2("awk", c("-f", shQuote(awk_script), shQuote(converted)), stdout = program)
  objects <- file.path(work, "objects.rds")
  evaluation <- suppressWarnings(system2(rscript, c("--vanilla", shQuote(evaluator), shQuote(program),
                                                    shQuote(objects)), stdout = TRUE, stderr = TRUE))
  expected <- c(case$expected, list(Vesko = list()))
  built <- if (file.exists(objects)) readRDS(objects) else NULL
  ok <- status == 0 && is.null(attr(evaluation, "status")) &&
    identical(built[order(names(built))], expected[order(names(expected))])
  if (ok) {
    cat("ok:     ", case$name, "\n", sep = "")
  } else {
    failed <- failed + 1L
    cat("FAILED: ", case$name, "\n", sep = "")
    cat("    converter status ", status, "\n", paste0("    ", evaluation, "\n"), sep = "")
    cat("    built: ", paste(deparse(built), collapse = " "), "\n", sep = "")
    cat("    program:\n", paste0("    ", readLines(program, warn = FALSE), "\n"), sep = "")
  }
  unlink(work, recursive = TRUE)
}
cat(sprintf("%d of %d untrusted documents build only what they should\n", length(cases) - failed, length(cases)))
quit(save = "no", status = if (failed > 0) 1 else 0)
