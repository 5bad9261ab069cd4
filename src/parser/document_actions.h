#pragma once

#include <string>
#include <string_view>

#include "driver/reporter.h"
#include "parser/parse_engine.h"
#include "translate/translator.h"

namespace xml2slist {

// The per-rule actions of the document grammar.
class DocumentActions final : public ParseActions {
 public:
  DocumentActions(Translator& translator, Reporter& reporter) : translator_(translator), reporter_(reporter) {}

  void reduce(int rule, std::string* slots) override;
  void report_xml_error(std::string_view message) override { reporter_.report_xml_error(message); }

 private:
  Translator& translator_;
  Reporter& reporter_;
};

}  // namespace xml2slist
