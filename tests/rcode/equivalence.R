# xml2r's R code builds the same objects as xml2slist's S statements turned
# into R by examples/slist2r.awk, with the same exit status and messages.
# Documents on which the two may differ by design are left out of the
# comparison of objects: the awk program's code does not load, a DataVector
# word is not an R constant (xml2r makes it a string, S writes it as code),
# or an attribute has a name R reserves (xml2r stores it under "xml:").
source(file.path(commandArgs(trailingOnly = TRUE)[1], "common.R"))
awk_program <- file.path(source_dir, "examples/slist2r.awk")
work <- tempfile("equivalence")
dir.create(work)
path <- function(name) file.path(work, name)

r_constant <- function(word) {
  grepl("^[+-]?(NA|TRUE|FALSE|Inf|NaN|(0[xX][0-9a-fA-F]+|([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][+-]?[0-9]+)?)[Li]?)$",
        word) && !inherits(tryCatch(parse(text = word), warning = identity), "warning")
}

# Why the objects built by `awk` (the objects or the error loading them) are
# not compared with xml2r's, or NULL.
exclusion <- function(awk, slist) {
  if (inherits(awk, "error"))
    return(paste("awk output does not load:", sub("^[0-9]+:[0-9]+: |\n.*", "", conditionMessage(awk))))
  vector <- "^[^\"']*\\[\\[[0-9]+\\]\\]_c\\((.*)\\)$"
  words <- unlist(strsplit(sub(vector, "\\1", grep(vector, slist, value = TRUE, useBytes = TRUE),
                               useBytes = TRUE), ",", fixed = TRUE))
  if (!all(vapply(words, r_constant, NA))) return("DataVector word not an R constant")
  if (any(grepl("^attr\\(.*,\"(names|dim|dimnames|tsp|class)?\"\\)_", slist, useBytes = TRUE)))
    return("attribute name R reserves")
  NULL
}
objects <- function(program) {
  tryCatch(as.list(load_program(program), all.names = TRUE, sorted = TRUE), error = identity)
}

compared <- 0L
excluded <- character(0)
failures <- 0L
fail <- function(document, what, ...) {
  failures <<- failures + 1L
  cat("FAILED: ", document, ": ", what, "\n", sep = "")
  for (shown in list(...)) { cat("  ", names(shown), ":\n", sep = ""); str(shown[[1]], list.len = 20) }
}
for (document in documents()) {
  s_status <- system2(xml2slist, shQuote(document), stdout = path("out.S"), stderr = path("s.err"))
  system2("awk", c("-f", shQuote(awk_program), shQuote(path("out.S"))), stdout = path("awk.R"))
  r_status <- system2(xml2r, shQuote(document), stdout = path("xml2r.R"), stderr = path("r.err"))
  if (r_status != s_status || !identical(readBin(path("s.err"), "raw", 1e6), readBin(path("r.err"), "raw", 1e6)))
    fail(document, sprintf("exit status %d or messages differ from xml2slist's (%d)", r_status, s_status))
  expected <- objects(path("awk.R"))
  why <- exclusion(expected, readLines(path("out.S"), warn = FALSE, skipNul = TRUE))
  if (!is.null(why)) { excluded <- c(excluded, why); next }
  compared <- compared + 1L
  built <- objects(path("xml2r.R"))
  if (inherits(built, "error")) {
    fail(document, paste("xml2r output does not load:", conditionMessage(built)))
  } else if (!identical(names(built), names(expected))) {
    fail(document, "different objects", list(awk = names(expected)), list(xml2r = names(built)))
  } else {
    for (name in names(expected)[!mapply(identical, expected, built)])
      fail(document, paste("object", name, "differs"), list(awk = expected[[name]]), list(xml2r = built[[name]]))
  }
}
unlink(work, recursive = TRUE)
cat(sprintf("%d documents compared, %d excluded:\n", compared, length(excluded)))
reasons <- table(excluded)
cat(sprintf("  %3d  %s\n", reasons, names(reasons)), sep = "")
# Fewer compared documents than this means the comparison stopped covering them.
minimum <- 160L
if (compared < minimum) { cat("FAILED: fewer than", minimum, "documents compared\n"); failures <- failures + 1L }
quit(save = "no", status = if (failures > 0) 1 else 0)
