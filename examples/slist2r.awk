# Turns the output of xml2slist into R code.
#
#   xml2slist doc.xml | awk -f slist2r.awk > doc.R
#
# R no longer reads the underscore as assignment: the underscore that ends
# the target of each statement becomes " <- ". R reads "?" as its help
# operator, so the "?" that stands for one of ":_-." in member and attribute
# names becomes "." in the target. An attribute without a value gets the
# empty string, so that the next statement is not taken as its value. The
# first line creates Vesko, whose member status the status statements set.
# Quoted strings that go on over several lines (multi-line strings of the
# document, the status text) are followed, and their lines left as they are.
# Not for output traced with YYDEBUG.
BEGIN { print "if (!exists(\"Vesko\")) Vesko <- list()" }
{
  rest = $0
  target = ""
  if (quote == "" && (at = index(rest, "_")) > 0) {
    target = substr(rest, 1, at - 1)
    gsub(/\?/, ".", target)
    target = target " <- "
    rest = substr(rest, at + 1)
    if (rest == "") rest = "\"\""
  }
  for (i = 1; i <= length(rest); i++) {
    c = substr(rest, i, 1)
    if (c == "\\") i++
    else if (quote != "") { if (c == quote) quote = "" }
    else if (c == "\"" || c == "'") quote = c
  }
  print target rest
}
