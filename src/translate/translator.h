#pragma once

#include "output/output_stream.h"
#include "output/reporter.h"
#include "translate/attributes.h"
#include "translate/content_output.h"
#include "translate/element_path.h"
#include "translate/entities.h"

namespace xml2slist {

// The translation state of one document: the operations the rule actions
// call to write the S statements as the parse proceeds, or R code.
struct Translator {
  // With `r_code`, the translation builds R code through it instead.
  Translator(OutputStream& out, Reporter& reporter, RCode* r_code = nullptr)
      : path(out, r_code), content(out, path, r_code), attributes(out, path, content, reporter, r_code) {}

  ElementPath path;
  ContentOutput content;
  Entities entities;
  Attributes attributes;
};

}  // namespace xml2slist
