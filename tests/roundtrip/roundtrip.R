# Round trip: converts every document of a folder with xml2slist, runs the
# generated program in a fresh R session and checks that the objects it
# builds are the document's tree as the xml2 package reads it.
#   Rscript --vanilla roundtrip.R XML2SLIST DOCUMENT_FOLDER
#
# What a document must come back as:
# - the root element is a variable named after it; every other element is a
#   list, a member of its parent's list with its member name (repeats at one
#   nesting level numbered b, b1, b2 ...), at its position among the parent's
#   items;
# - an empty-element tag without attributes (`<x />`) takes a position but
#   builds nothing there;
# - a text run is one string: its words and quoted strings joined by single
#   blanks, with a leading blank when it follows a child element; inside
#   elements whose member name begins with "DataVector" it is a numeric vector;
# - every attribute is an R attribute of the element's list with the
#   document's value.
# A mismatch is reported with the object's path; values are shown as R
# literals, so a backslash of the text appears doubled there.

suppressPackageStartupMessages(library(xml2))

args <- commandArgs(trailingOnly = TRUE)
if (length(args) != 2) stop("usage: roundtrip.R XML2SLIST DOCUMENT_FOLDER")
converter <- normalizePath(args[1], mustWork = TRUE)
documents <- sort(list.files(args[2], pattern = "\\.xml$", full.names = TRUE))
if (length(documents) == 0) stop("no documents in ", args[2])
evaluator <- file.path(dirname(normalizePath(sub("^--file=", "",
  grep("^--file=", commandArgs(FALSE), value = TRUE)[1]))), "evaluate.R")
rscript <- file.path(R.home("bin"), "Rscript")

# ---------------------------------------------------------------------------
# The output writes assignments as `_`; R wants `<-`. In each statement the
# first underscore outside string literals is the assignment. Literals are
# delimited by " or ', may hold backslash escapes and may span lines; a
# statement ends at a line break outside literals. Works on bytes, so UTF-8
# text passes through untouched.
to_arrow_assignments <- function(program) {
  bytes <- as.integer(program)
  quote_byte <- 0L
  escaped <- FALSE
  assigned <- FALSE
  out <- vector("list", length(bytes))
  for (i in seq_along(bytes)) {
    b <- bytes[i]
    out[[i]] <- b
    if (quote_byte != 0L) {
      if (escaped) escaped <- FALSE
      else if (b == 0x5CL) escaped <- TRUE
      else if (b == quote_byte) quote_byte <- 0L
    } else if (b == 0x22L || b == 0x27L) {
      quote_byte <- b
    } else if (b == 0x0AL) {
      assigned <- FALSE
    } else if (b == 0x5FL && !assigned) {
      out[[i]] <- as.integer(charToRaw(" <- "))
      assigned <- TRUE
    }
  }
  if (quote_byte != 0L) stop("the program ends inside a string literal")
  as.raw(unlist(out))
}

conversion_cases <- list(
  list("a_list()\n", "a <- list()\n"),
  list("a$b[[2]]_\"x_y\"\n", "a$b[[2]] <- \"x_y\"\n"),
  list("attr(a,\"k_1\")_'v_\"_'\n", "attr(a,\"k_1\") <- 'v_\"_'\n"),
  list("a[[1]]_\"say \\\"x_y\\\" \\\\\"\nb_list()\n",
       "a[[1]] <- \"say \\\"x_y\\\" \\\\\"\nb <- list()\n"),
  list("a[[1]]_\"two\nlines_\"\na$b_list()\n",
       "a[[1]] <- \"two\nlines_\"\na$b <- list()\n"),
  list("a[[1]]_c(1,-2_3)\n", "a[[1]] <- c(1,-2_3)\n"))
for (case in conversion_cases) {
  got <- rawToChar(to_arrow_assignments(charToRaw(case[[1]])))
  if (!identical(got, case[[2]]))
    stop("assignment conversion of ", encodeString(case[[1]], quote = "\""),
         " gave ", encodeString(got, quote = "\""))
}

# ---------------------------------------------------------------------------
# Words of a text run as the converter cuts them: blanks and line breaks
# separate, a quoted string is one word with its quotes, `=` stands alone.
text_words <- function(text) {
  chars <- strsplit(text, "")[[1]]
  words <- character()
  i <- 1L
  n <- length(chars)
  blank <- c(" ", "\t", "\r", "\n")
  while (i <= n) {
    ch <- chars[i]
    if (ch %in% blank) {
      i <- i + 1L
    } else if (ch == "\"" || ch == "'") {
      j <- i + 1L
      while (j <= n && chars[j] != ch) j <- j + 1L
      if (j > n) stop("a quoted string in the text is not closed: ", text)
      words <- c(words, paste(chars[i:j], collapse = ""))
      i <- j + 1L
    } else if (ch == "=") {
      words <- c(words, "=")
      i <- i + 1L
    } else if (ch == "<" || ch == ">") {
      stop("the text holds a markup character, which the converter would read as markup: ", text)
    } else {
      j <- i
      while (j <= n && !(chars[j] %in% c(blank, "\"", "'", "=", "<", ">"))) j <- j + 1L
      words <- c(words, paste(chars[i:(j - 1L)], collapse = ""))
      i <- j
    }
  }
  words
}

member_base <- function(name) gsub("[:_.-]", "?", name)

# An empty-element tag without attributes builds nothing, but xml2 reads it
# like `<x></x>`. Mark those tags with an attribute before xml2 parses the
# document, so the checker can tell them apart.
skip_marker <- "roundtripEmptyTag"
read_marked <- function(path) {
  source <- readChar(path, file.info(path)$size, useBytes = TRUE)
  Encoding(source) <- "UTF-8"
  if (grepl("<[^<>!?/[:space:]]+/>", source))
    stop(basename(path), ": write empty-element tags with a blank before `/>`")
  marked <- gsub("<([^<>!?/[:space:]\"'=]+)[[:space:]]+/>",
                 paste0("<\\1 ", skip_marker, "=\"1\" />"), source)
  read_xml(marked, options = "")
}

# ---------------------------------------------------------------------------
# Checking one element against the object built for it.
new_checker <- function() {
  registry <- list()  # entries: level, name, count; in creation order
  problems <- character()
  depth <- 0L

  problem <- function(where, ...) problems <<- c(problems, paste0(where, ": ", ...))

  push <- function(name) {
    base <- member_base(name)
    member <- base
    found <- FALSE
    for (k in seq_along(registry)) {
      if (registry[[k]]$level == depth && registry[[k]]$name == base) {
        registry[[k]]$count <<- registry[[k]]$count + 1L
        member <- paste0(base, registry[[k]]$count)
        found <- TRUE
        break
      }
    }
    if (!found) registry[[length(registry) + 1L]] <<- list(level = depth, name = base, count = 0L)
    depth <<- depth + 1L
    member
  }

  pop <- function() {
    keep <- vapply(registry, function(entry) entry$level <= depth, logical(1))
    registry <<- registry[keep]
    depth <<- depth - 1L
  }

  show <- function(x) paste(deparse(x, width.cutoff = 200L), collapse = " ")

  check_attributes <- function(node, built, where) {
    expected <- xml_attrs(node)
    expected <- expected[names(expected) != skip_marker]
    names(expected) <- member_base(names(expected))
    got <- attributes(built)
    got <- got[names(got) != "names"]
    got_names <- sort(as.character(names(got)))
    expected_names <- sort(as.character(names(expected)))
    if (!identical(got_names, expected_names))
      problem(where, "attributes ", show(got_names), ", expected ", show(expected_names))
    for (name in intersect(names(expected), names(got))) {
      if (!identical(got[[name]], enc2utf8(unname(expected[[name]]))))
        problem(where, "attribute ", name, " is ", show(got[[name]]),
                ", expected ", show(unname(expected[[name]])))
    }
  }

  check_element <- function(node, built, member, where) {
    if (!is.list(built)) {
      problem(where, "expected a list, found ", show(built))
      return(invisible())
    }
    check_attributes(node, built, where)
    vector_element <- startsWith(member, "DataVector")
    member_names <- names(built)
    if (is.null(member_names)) member_names <- rep("", length(built))
    position <- 0L
    last_filled <- 0L
    after_child <- FALSE
    for (item in xml_contents(node)) {
      type <- xml_type(item)
      if (type == "text") {
        words <- text_words(xml_text(item))
        if (length(words) == 0) next
        position <- position + 1L
        last_filled <- position
        slot <- sprintf("%s[[%d]]", where, position)
        got <- if (position <= length(built)) built[[position]] else NULL
        if (position <= length(built) && nzchar(member_names[position]))
          problem(slot, "a text slot carries the member name ", member_names[position])
        if (vector_element) {
          if (after_child)
            stop(where, ": a vector element's run after a child is not a numeric vector; leave it out")
          expected <- as.numeric(words)
          if (!is.numeric(got) || !identical(as.numeric(got), expected))
            problem(slot, "is ", show(got), ", expected the numbers ", show(expected))
        } else {
          expected <- paste0(if (after_child) " " else "", paste(words, collapse = " "))
          expected <- enc2utf8(expected)
          if (!is.character(got) || length(got) != 1 || !identical(enc2utf8(got), expected))
            problem(slot, "is ", show(got), ", expected ", show(expected))
        }
      } else if (type == "element") {
        position <- position + 1L
        after_child <- TRUE
        slot <- sprintf("%s[[%d]]", where, position)
        got <- if (position <= length(built)) built[[position]] else NULL
        if (!is.na(xml_attr(item, skip_marker))) {
          if (!is.null(got))
            problem(slot, "an empty-element tag should leave this position empty, found ", show(got))
          next
        }
        last_filled <- position
        child_member <- push(xml_name(item))
        if (position > length(built)) {
          problem(slot, "missing: expected the list ", child_member)
        } else {
          if (member_names[position] != child_member)
            problem(slot, "member name is '", member_names[position], "', expected '", child_member, "'")
          check_element(item, got, child_member, paste0(where, "$", child_member))
        }
        pop()
      } else {
        stop(where, ": content of type ", type, " is not part of the round trip")
      }
    }
    if (length(built) != last_filled)
      problem(where, "holds ", length(built), " items, expected ", last_filled)
  }

  list(
    check_root = function(root, built_objects) {
      member <- push(xml_name(root))
      if (!identical(names(built_objects), member)) {
        problem("program", "defines ", show(names(built_objects)), ", expected only ", member)
      }
      if (member %in% names(built_objects))
        check_element(root, built_objects[[member]], member, member)
      pop()
    },
    problems = function() problems)
}

# ---------------------------------------------------------------------------
run_document <- function(path) {
  work <- tempfile("roundtrip")
  dir.create(work)
  on.exit(unlink(work, recursive = TRUE))
  output_file <- file.path(work, "output.s")
  errors_file <- file.path(work, "errors.txt")
  status <- system2(converter, shQuote(path), stdout = output_file, stderr = errors_file)
  failures <- character()
  errors <- readLines(errors_file, warn = FALSE)
  if (status != 0) failures <- c(failures, paste("xml2slist exited with status", status))
  if (length(errors) > 0) failures <- c(failures, paste("xml2slist wrote to standard error:", errors))
  if (length(failures) > 0) return(failures)

  output <- readBin(output_file, "raw", file.info(output_file)$size)
  program_file <- file.path(work, "program.R")
  writeBin(to_arrow_assignments(output), program_file)
  objects_file <- file.path(work, "objects.rds")
  evaluation <- suppressWarnings(system2(rscript, c("--vanilla", shQuote(evaluator),
    shQuote(program_file), shQuote(objects_file)), stdout = TRUE, stderr = TRUE))
  if (!is.null(attr(evaluation, "status")) || !file.exists(objects_file))
    return(c("the generated program does not run in R:", evaluation,
             "program:", readLines(program_file, warn = FALSE)))

  built <- readRDS(objects_file)
  checker <- new_checker()
  checker$check_root(xml_root(read_marked(path)), built)
  found <- checker$problems()
  if (length(found) > 0) found <- c(found, "program:", readLines(program_file, warn = FALSE))
  found
}

failed <- 0L
for (path in documents) {
  found <- tryCatch(run_document(path), error = function(e) paste("error:", conditionMessage(e)))
  if (length(found) == 0) {
    cat("round trip ok:     ", basename(path), "\n", sep = "")
  } else {
    failed <- failed + 1L
    cat("round trip FAILED: ", basename(path), "\n", paste0("    ", found, "\n"), sep = "")
  }
}
cat(sprintf("%d of %d documents round-trip\n", length(documents) - failed, length(documents)))
quit(save = "no", status = if (failed > 0) 1 else 0)
