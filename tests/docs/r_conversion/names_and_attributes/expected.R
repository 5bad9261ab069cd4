if (!exists("Vesko")) Vesko <- list()
my.doc <- list()
attr(my.doc,"xml.lang") <- "en"
attr(my.doc,"flag") <- ""
my.doc$a.b <- list()
attr(my.doc$a.b,"k") <- "C:\\x"
attr(my.doc$a.b,"s") <- 'say "hi"'
my.doc$a.b[[1]] <- "v"
