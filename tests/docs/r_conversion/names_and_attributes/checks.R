stopifnot(identical(attr(my.doc, "xml.lang"), "en"), identical(attr(my.doc, "flag"), ""),
          identical(attr(my.doc$a.b, "k"), "C:\\x"), identical(attr(my.doc$a.b, "s"), "say \"hi\""),
          identical(my.doc$a.b[[1]], "v"))
