# Evaluates one converted program in this fresh R session and saves every
# object it leaves in the global environment, so that the checking session
# can compare them with the document.
#   Rscript --vanilla evaluate.R PROGRAM.R OBJECTS.rds
local({
  args <- commandArgs(trailingOnly = TRUE)
  options(warn = 2)  # a warning while rebuilding the tree counts as a failure
  statements <- tryCatch(
    parse(args[1], encoding = "UTF-8", keep.source = FALSE),
    error = function(e) {
      message("R cannot parse the program: ", conditionMessage(e))
      quit(save = "no", status = 3)
    })
  for (statement in statements) {
    tryCatch(eval(statement, globalenv()), error = function(e) {
      message("R cannot evaluate `", paste(deparse(statement), collapse = " "),
              "`: ", conditionMessage(e))
      quit(save = "no", status = 3)
    })
  }
  built <- mget(ls(globalenv(), all.names = TRUE), envir = globalenv())
  saveRDS(built, args[2])
})
