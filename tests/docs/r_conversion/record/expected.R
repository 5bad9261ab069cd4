if (!exists("Vesko")) Vesko <- list()
rec <- list()
attr(rec,"Id") <- "r1"
attr(rec,"ver") <- "2"
rec$name <- list()
rec$name[[1]] <- "Ann Lee"
rec$DataVector <- list()
rec$DataVector[[1]] <- c(1,2,3)
rec$name1 <- list()
rec$name1[[1]] <- "Bo"
