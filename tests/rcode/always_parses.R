# Whatever the document, whole or cut off, xml2r's R code loads without an
# error or a warning, leaves none of its temporaries x_<depth>/n_<depth>
# behind, and sets Vesko$status to a status text exactly when the exit
# status says the document was refused (a root named Vesko may have a member
# status of its own, a list).
source(file.path(commandArgs(trailingOnly = TRUE)[1], "common.R"))
options(warn = 2)
work <- tempfile("always_parses")
dir.create(work)
program <- file.path(work, "program.R")

whole <- c(documents(), list.files(file.path(source_dir, "tests/fuzz/corpus"), full.names = TRUE))
checked <- 0L
failures <- 0L
check <- function(document, label = document) {
  checked <<- checked + 1L
  status <- convert(document, program)
  e <- tryCatch(load_program(program), error = function(e) e)
  problem <- if (inherits(e, "error")) {
    paste("does not load:", conditionMessage(e))
  } else if (length(left <- grep("^[xn]_", ls(e, all.names = TRUE), value = TRUE)) > 0) {
    paste("temporaries left:", paste(left, collapse = " "))
  } else if (!is.list(e$Vesko) || status != 0 && !is.character(e$Vesko$status) ||
             status == 0 && is.character(e$Vesko$status)) {
    sprintf("exit status %d but Vesko$status is %s", status, deparse1(e$Vesko$status))
  }
  if (!is.null(problem)) {
    failures <<- failures + 1L
    cat("FAILED: ", label, ": ", problem, "\n", sep = "")
  }
}
for (document in whole) check(document)
# Each document cut at a third and at two thirds of its bytes.
cut <- file.path(work, "cut.xml")
for (document in documents()) {
  bytes <- readBin(document, "raw", file.size(document))
  for (keep in unique(length(bytes) %/% 3 * 1:2)) {
    writeBin(bytes[seq_len(keep)], cut)
    check(cut, sprintf("%s cut after %d bytes", document, keep))
  }
}
unlink(work, recursive = TRUE)
cat(sprintf("%d conversions load cleanly of %d\n", checked - failures, checked))
quit(save = "no", status = if (failures > 0) 1 else 0)
