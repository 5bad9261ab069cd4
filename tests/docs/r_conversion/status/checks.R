# The status text reads back as exactly the messages on standard error.
stopifnot(identical(Vesko$status, paste(readLines("stderr.txt"), collapse = "\n")),
          identical(a[[1]], "it_s"))
