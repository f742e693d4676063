#include <gtest/gtest.h>

#include "tasks/task_test_fixture.h"

namespace morvalin::test {
namespace {

using Strings = std::vector<std::string>;

class ApplySettingsTest : public TaskTableTest {
 protected:
  void SetUp() override { OpenStore(); }

  // The stored settings as UTF-8 texts: speed, directory, auto-start.
  std::vector<Strings> StoredSettings() {
    std::vector<Strings> rows;
    RecordSet& settings = table_.Settings();
    const int count = settings.RecordCount();
    for (int i = 0; i < count; ++i) {
      settings.GoToRecord(i);
      std::int32_t auto_start = -1;
      settings.ReadInt("自动下载", auto_start);
      rows.push_back({GbkToUtf8(settings.ReadText("下载速度")), GbkToUtf8(settings.ReadText("下载路径")),
                      std::to_string(auto_start)});
    }
    return rows;
  }
};

TEST_F(ApplySettingsTest, RejectedSpeedsResetTheFieldAndChangeNothing) {
  struct Case {
    const char* typed;
    const char* message;
  };
  const Case cases[] = {
      {"", "速度限制不能为空！"},          {"99", "速度限制不能小于100KB！"},
      {"0", "速度限制不能小于100KB！"},    {"abc", "速度限制不能小于100KB！"},
      {"99.9", "速度限制不能小于100KB！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    window_.messages.clear();
    window_.speed_text = c.typed;
    table_.ApplySettings();
    EXPECT_EQ(window_.speed_text, "99999");
    ASSERT_EQ(window_.messages.size(), 1u);
    EXPECT_EQ(GbkToUtf8(window_.messages[0].text), c.message);
    EXPECT_EQ(window_.messages[0].caption, "");  // the toolkit's default caption
    EXPECT_FALSE(window_.messages[0].question);
  }
  EXPECT_TRUE(engine_.Calls().empty());
  EXPECT_TRUE(StoredSettings().empty());
}

TEST_F(ApplySettingsTest, BlanksAroundAreTrimmedForEngineAndStoreButKeptInTheFields) {
  window_.speed_text = Gbk("  250　");
  window_.directory_text = Gbk("　/home/dj/舞曲/ ");
  window_.auto_start = true;
  table_.ApplySettings();
  EXPECT_EQ(engine_.Calls(), Strings{"XL_SetSpeedLimit 250"});
  EXPECT_EQ(StoredSettings(), (std::vector<Strings>{{"250", "/home/dj/舞曲/", "1"}}));
  EXPECT_EQ(window_.speed_text, Gbk("  250　"));
  EXPECT_EQ(window_.directory_text, Gbk("　/home/dj/舞曲/ "));
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(GbkToUtf8(window_.messages[0].text), "设置已保存！");
  EXPECT_EQ(GbkToUtf8(window_.messages[0].caption), "设置");
}

TEST_F(ApplySettingsTest, TheLowestAcceptedSpeedIsOneHundredAndApplyTwiceKeepsOneRecord) {
  window_.speed_text = "100";
  table_.ApplySettings();
  window_.speed_text = "300";
  window_.auto_start = false;
  table_.ApplySettings();
  EXPECT_EQ(engine_.Calls(), (Strings{"XL_SetSpeedLimit 100", "XL_SetSpeedLimit 300"}));
  EXPECT_EQ(StoredSettings(), (std::vector<Strings>{{"300", "/home/dj/DJ舞曲/", "0"}}));
}

TEST_F(TaskTableTest, ApplyWithoutAStoreStillSetsTheLimitAndSaysSaved) {
  window_.speed_text = "400";
  table_.ApplySettings();
  EXPECT_EQ(engine_.Calls(), std::vector<std::string>{"XL_SetSpeedLimit 400"});
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(GbkToUtf8(window_.messages[0].text), "设置已保存！");
}

}  // namespace
}  // namespace morvalin::test
