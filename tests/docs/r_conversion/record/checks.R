stopifnot(identical(attr(rec, "Id"), "r1"), identical(attr(rec, "ver"), "2"),
          identical(rec$name[[1]], "Ann Lee"), identical(rec$DataVector[[1]], c(1, 2, 3)),
          identical(rec$name1[[1]], "Bo"), is.null(Vesko$status))
