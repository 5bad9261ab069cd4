stopifnot(identical(t[[1]], "path C:\\temp \"a 'b'\" 'say \"hi\"'"),
          identical(t$u[[1]], "\"two\nlines\""), identical(t$v[[1]], "'say \"hi\non_two lines'"),
          length(t) == 3)
