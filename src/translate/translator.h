#pragma once

#include "output/output_stream.h"
#include "output/reporter.h"
#include "translate/attributes.h"
#include "translate/content_output.h"
#include "translate/element_path.h"
#include "translate/entities.h"

namespace xml2slist {

// The translation state of one document: the operations the rule actions
// call to write the S statements as the parse proceeds.
struct Translator {
  Translator(OutputStream& out, Reporter& reporter)
      : path(out), content(out, path), attributes(out, path, reporter) {}

  ElementPath path;
  ContentOutput content;
  Entities entities;
  Attributes attributes;
};

}  // namespace xml2slist
