# Hostile documents put R code into every place that reaches xml2r's output.
# Their R code, sourced from an empty working folder under traps for the
# functions such code would call, must call nothing, create no file, raise
# no error or warning and build exactly the root's variable and Vesko (with
# the messages as Vesko$status when refused), the hostile text kept as data.
source(file.path(commandArgs(trailingOnly = TRUE)[1], "common.R"))
options(warn = 2)
case <- function(file, status, root, check) list(file = file, status = status, root = root, check = substitute(check))
cases <- list(
  # Element names that are calls, with ; ` } \ #, and a member named like Vesko's.
  case("element_names.xml", 0, "system(paste(quote(touch),quote(PWNED)))",
       identical(names(root), c("file.create(as.character(quote(PWNED)))", r"(x;system(`touch`)}\#)",
                                "Vesko$status")) && identical(root[[2]], list("b"))),
  # Attribute names that are calls, with backticks, ; } ) and a final backslash.
  case("attribute_names.xml", 0, "r",
       identical(attributes(root), setNames(list("1", "2", "3"), c("system(paste(quote(touch),quote(PWNED)))",
                                            "file.create(as.character(quote(PWNED)))", r"(`x`;})\)")))),
  # Attribute values that close R strings of either quote kind, end in
  # backslashes, hold backticks, } and ), and go on over lines.
  case("attribute_values.xml", 0, "r",
       identical(attributes(root)[c("a", "b", "c", "d", "e")],
                 list(a = r"-("); system("touch PWNED"); (")-", b = r"('); file.create('PWNED'); (')",
                      c = r"(C:\)", d = r"(\\)", e = "`system`('touch PWNED') } )")) &&
         identical(attr(root$s, "k"), "x\nsystem('touch PWNED')\n}")),
  # DataVector words that are code, and quoted strings in it that close R strings.
  case("data_vector.xml", 0, "r",
       identical(root$DataVector, list(c("1", "system(paste(quote(touch),quote(PWNED)))",
                                         "`file.create`(quote(PWNED))", ";", ")", "}", r"(\)", "2",
                                         r"('");system("touch PWNED");#')", r"("'),file.create('PWNED'),('")")))),
  # Entity values that close R strings, one declared twice so its parts join.
  case("entity_values.xml", 0, "r",
       identical(attributes(root), list(a = r"-("); system("touch PWNED"); (")-",
                                        b = r"(x');file.create('PWNED'); \ )"))),
  # Text with code, backticks, ; } ) \ and quoted strings of both kinds over lines.
  case("text.xml", 0, "r",
       identical(root, list(r"---(`system`(paste(quote(touch),quote(PWNED))) ; } ) \ "x'); system('touch PWNED'); #" 'a
file.create("PWNED")
}')---"))),
  # Names of the functions and temporaries the R code itself uses.
  case("function_names.xml", 0, "c",
       identical(names(root), c("list", "assign", "rm", "paste0", "x.1", "n.1", "exists", "is.list")) &&
         identical(root$rm, list("3"))),
  # Code after a NUL byte in values, entity values, quoted and plain text, vectors.
  case("nul_bytes.xml", 0, "r",
       identical(attributes(root), list(a = "x", b = "v", names = c("", "DataVector"))) &&
         identical(root[[1]], r"("q" t)") && identical(root$DataVector, list(c("1", r"("a")")))),
  # A document cut off in text of code: its open elements are built, then the status.
  case("refused.xml", 1, "r",
       identical(root[[2]], list(r"---("); system(" touch PWNED "); (")---"))),
  # A repeated Id of code, which the status text quotes.
  case("duplicate_id.xml", 1, "r",
       identical(attr(root$s, "Id"), r"(");system("touch PWNED");#)")))

calls <- character(0)
traps <- new.env(parent = baseenv())
for (name in c("system", "system2", "file.create", "shell", "eval", "evalq", "parse", "source", "sys.source",
               "do.call", "Sys.setenv", "file.remove", "unlink", "q", "quit"))
  assign(name, local({ called <- name; function(...) calls <<- c(calls, called) }), traps)

work <- tempfile("untrusted")
dir.create(file.path(work, "cwd"), recursive = TRUE)
program <- file.path(work, "program.R")
messages_file <- file.path(work, "messages")
failures <- 0L
for (case in cases) {
  calls <- character(0)
  status <- system2(xml2r, shQuote(file.path(here, "untrusted", case$file)), stdout = program, stderr = messages_file)
  messages <- paste(readLines(messages_file), collapse = "\n")
  old <- setwd(file.path(work, "cwd"))
  e <- tryCatch(load_program(program, traps), error = function(e) e)
  setwd(old)
  created <- list.files(file.path(work, "cwd"), all.files = TRUE, no.. = TRUE)
  problem <- if (status != case$status) {
    sprintf("exit status %d, not %d", status, case$status)
  } else if (inherits(e, "error")) {
    paste("does not load:", conditionMessage(e))
  } else if (length(calls) + length(created) > 0) {
    paste(c(if (length(calls) > 0) paste("called", paste(calls, collapse = " ")),
            if (length(created) > 0) paste("created", paste(created, collapse = " "))), collapse = "; ")
  } else if (!identical(sort(ls(e, all.names = TRUE)), sort(c(case$root, "Vesko")))) {
    paste("built", paste(ls(e, all.names = TRUE), collapse = " "))
  } else if (!identical(e$Vesko, if (status == 0) list() else list(status = messages))) {
    paste("Vesko is", deparse1(e$Vesko))
  } else if (!isTRUE(eval(case$check, list(root = get(case$root, e))))) {
    paste("lost data:", deparse1(get(case$root, e)))
  }
  if (is.null(problem)) {
    cat("ok:     ", case$file, "\n", sep = "")
  } else {
    failures <- failures + 1L
    cat("FAILED: ", case$file, ": ", problem, "\n", sep = "")
  }
  unlink(file.path(work, "cwd", created), recursive = TRUE)
}
unlink(work, recursive = TRUE)
cat(sprintf("%d of %d hostile documents build only their data\n", length(cases) - failures, length(cases)))
quit(save = "no", status = if (failures > 0) 1 else 0)
