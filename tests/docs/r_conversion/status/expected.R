if (!exists("Vesko")) Vesko <- list()
a <- list()
a[[1]] <- "it_s"
Vesko$status <- NULL
Vesko$status <- 'Warning: No protocols in this XML instance
Error: line 0; XML syntax error
Read ahead text: \'C:\\tmp'
