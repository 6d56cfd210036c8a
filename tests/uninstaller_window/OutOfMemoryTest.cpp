// Running out of memory while a template is read: every allocation in turn is made to fail.
#include <gtest/gtest.h>

#include "../uninstaller/AllocationLimit.h"
#include "TemplateReader.h"
#include "TemplateWriter.h"

using namespace corvel::tpl;

TEST(TemplateOutOfMemory, EveryFailedAllocationGivesTheReadersError) {
  TemplateSource s;
  s.window.version = 5;
  s.window.face = "Tahoma, a face name too long for the short-string buffer";
  s.window.title = "A title that is long enough to need memory of its own";
  for (int i = 0; i < 6; ++i) {
    ControlDesc c;
    c.type = kTypeLabel;
    c.text = i % 2 ? "hyperlink: text=\"A link text long enough to allocate\" link=\"https://x.test/long/path\""
                   : "<LangID=1>A text long enough to be allocated</LangID=1>";
    s.window.controls.push_back(c);
  }
  const std::string bytes = WriteTemplate(s);
  int failures = 0;
  bool succeeded = false;
  for (long n = 0; n < 10000 && !succeeded; ++n) {
    WindowDesc w;
    corvel::test::LimitAllocations(n);
    int result = ReadTemplate(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 1, 1250,
                              SystemColours(), w);
    corvel::test::LimitAllocations(-1);
    if (result == kReadOk) {
      succeeded = true;
      EXPECT_EQ(6u, w.controls.size());
    } else {
      ASSERT_EQ(kReadNoMemory, result) << "allocation " << n;
      EXPECT_TRUE(w.controls.empty());
      ++failures;
    }
  }
  EXPECT_TRUE(succeeded);
  // The window's texts and each control's text and link: well over a dozen allocations.
  EXPECT_GT(failures, 12);
}
