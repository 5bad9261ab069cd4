// The scanner's buffer is the converter's only heap memory that depends on
// the input. When the platform refuses it, the run ends with the scanner's
// fatal message and status 2, and what was written before stays written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/conversion.h"
#include "scanner/scan_buffer.h"

namespace {

// How the injected heap behaves in one case; function pointers cannot
// capture, so the plan is process-wide and set by each case.
struct Plan {
  int failing_allocation = 0;  // 1-based call of allocate that fails; 0 none
  int resizes_allowed = -1;    // resizes that succeed before one fails; -1 all
  int allocations = 0;
  int resizes = 0;
  std::vector<void*> held;  // allocated or resized, not released
};
Plan plan;

void* planned_allocate(std::size_t bytes) {
  if (++plan.allocations == plan.failing_allocation) return nullptr;
  void* area = std::malloc(bytes);
  plan.held.push_back(area);
  return area;
}
void* planned_resize(void* area, std::size_t bytes) {
  if (plan.resizes_allowed >= 0 && plan.resizes++ >= plan.resizes_allowed) return nullptr;
  void* moved = std::realloc(area, bytes);
  if (moved) std::replace(plan.held.begin(), plan.held.end(), area, moved);
  return moved;
}
void planned_release(void* area) {
  plan.held.erase(std::remove(plan.held.begin(), plan.held.end(), area), plan.held.end());
  std::free(area);
}

const xml2slist::BufferMemory planned_memory{planned_allocate, planned_resize, planned_release};

struct Case {
  const char* name;
  std::string document;
  int failing_allocation;
  int resizes_allowed;
  int status;
  std::string out;  // expected standard output (a prefix when `out_is_prefix`)
  std::string err;
  bool out_is_prefix = false;
};

std::string word(std::size_t length) { return std::string(length, 'w'); }

TEST(AllocationFailure, ScannerBufferRefusedEndsWithFatalMessage) {
  const std::string created = "out of dynamic memory in yy_create_buffer()\n";
  const std::string overflow = "fatal error - scanner input buffer overflow\n";
  const Case cases[] = {
      {"record refused", "<a>t</a>", 1, -1, 2, "", created},
      {"byte area refused", "<a>t</a>", 2, -1, 2, "", created},
      {"refused before an empty input", "", 1, -1, 2, "", created},
      // The area first grows when a pending token reaches 16383 bytes.
      {"word of 16382 bytes needs no growth", "<?p a='1'?><a>" + word(16382 - 11) + "</a>", 0, 0, 0,
       "a_list()\na[[1]]_\"" + word(16382 - 11) + "\"\n", ""},
      {"word of 16383 bytes", "<a>" + word(16383) + "</a>", 0, 0, 2, "a_list()\n", overflow},
      // The slot of the run that "x" began stays open: the value never comes.
      {"word of 20000 bytes", "<a>x " + word(20000) + "</a>", 0, 0, 2, "a_list()\na[[1]]", overflow},
      {"quoted attribute value", "<a k=\"" + word(20000) + "\">t</a>", 0, 0, 2, "", overflow},
      {"declaration string", "<!ENTITY e '" + word(17000) + "'><a/>", 0, 0, 2, "", overflow},
      {"second growth refused", "<a>" + word(40000) + "</a>", 0, 1, 2, "a_list()\n", overflow},
      {"one growth is enough", "<?p a='1'?><a>" + word(30000) + "</a>", 0, 1, 0,
       "a_list()\na[[1]]_\"" + word(30000) + "\"\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plan = Plan{c.failing_allocation, c.resizes_allowed, 0, 0, {}};
    const xml2slist::ConversionResult result = xml2slist::convert_document(c.document, nullptr, planned_memory);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.out.find("Vesko$status"), std::string::npos);
    // Nothing of the buffer is left behind, whichever allocation failed.
    EXPECT_EQ(plan.held.size(), 0u);
    for (void* area : plan.held) std::free(area);
  }
}

// An Id check may wait until its tag ends; a fatal error met before then
// must not hide the repeated Id that the check would have found first.
TEST(AllocationFailure, RepeatedIdIsReportedBeforeARefusedGrowthLaterInItsTag) {
  plan = Plan{0, 0, 0, 0, {}};
  const std::string document = "<r><a Id=\"x\"/><b Id=\"x\" k=\"" + word(20000) + "\"/></r>";
  const xml2slist::ConversionResult result = xml2slist::convert_document(document, nullptr, planned_memory);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Error: Id = \"x\" is  duplicate.\nError: line 0; XML Id\nRead ahead text: \"x\n");
  EXPECT_EQ(plan.held.size(), 0u);
  for (void* area : plan.held) std::free(area);
}

}  // namespace
