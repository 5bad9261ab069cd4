if (!exists("Vesko")) Vesko <- list()
t <- list()
t[[1]] <- "path C:\\temp \"a 'b'\" \'say \"hi\"\'"
t$u <- list()
t$u[[1]] <- "\"two
lines\""
t$v <- list()
t$v[[1]] <- "\'say \"hi
on_two lines\'"
