#include "app/update_check.h"

#include <gtest/gtest.h>

#include <string>

#include "app/handlers.h"
#include "fakes/fake_update_ports.h"
#include "update/update_config.h"
#include "update/update_file.h"

namespace lanchuan {
namespace {

using fakes::UpdateFakeApp;

struct Fields {
  std::string site = "青禾";
  std::string status_text = "新年快乐！";
  std::string status_address = "http://news.example/2027";
  std::string latest = "3.5";
  std::string download = "http://dl.example/lanchuan36.exe";
};

std::string content_of(const Fields& f) {
  return "#网站" + f.site + "网站#\r\n#状态文本" + f.status_text + "状态文本#\r\n#状态网址" +
         f.status_address + "状态网址#\r\n#最新版本" + f.latest + "最新版本#\r\n#下载地址" +
         f.download + "下载地址#\r\n";
}

std::string file_of(const Fields& f) { return pack_update_data(content_of(f), kUpdatePassword); }

constexpr const char* kDesignCaption = "欢迎使用蓝川自动校时";

class UpdateCheck : public ::testing::Test {
 protected:
  UpdateCheck() {
    t.controls.set_text(ControlId::标签_底栏, kDesignCaption);
    set_default_status_link(t.app);
  }
  void serve(const std::string& body) { t.fetcher.bodies[kUpdateUrl] = body; }
  std::string caption() { return t.controls.text(ControlId::标签_底栏); }
  void expect_nothing_shown() {
    EXPECT_EQ(caption(), kDesignCaption);
    EXPECT_EQ(t.app.state.status_link, kDefaultStatusLink);
    EXPECT_TRUE(t.prompt.asked.empty());
    EXPECT_TRUE(t.downloader.downloads.empty());
  }

  UpdateFakeApp t;
};

TEST_F(UpdateCheck, TimerTickStopsTheTimerBeforeAnythingElse) {
  int period_at_check = -1;
  t.network.on_check = [&] { period_at_check = t.controls.timer_period(ControlId::时钟_更新); };
  ASSERT_EQ(t.controls.timer_period(ControlId::时钟_更新), 2000);
  serve(file_of(Fields{}));
  on_update_timer(t.app);
  EXPECT_EQ(period_at_check, 0);
  ASSERT_EQ(t.fetcher.fetched.size(), 1u);
  EXPECT_EQ(t.fetcher.fetched[0], kUpdateUrl);
  EXPECT_EQ(caption(), "新年快乐！");
}

TEST_F(UpdateCheck, NetworkDownMeansNoFetchAndNoLaterCheck) {
  t.network.is_connected = false;
  serve(file_of(Fields{}));
  on_update_timer(t.app);
  EXPECT_EQ(t.network.checks, 1);
  EXPECT_TRUE(t.fetcher.fetched.empty());
  EXPECT_EQ(t.controls.timer_period(ControlId::时钟_更新), 0);
  expect_nothing_shown();
}

TEST_F(UpdateCheck, ValidFileSetsCaptionAndLinkWithoutPromptForTheSameVersion) {
  serve(file_of(Fields{}));
  check_for_update(t.app);
  EXPECT_EQ(caption(), "新年快乐！");
  EXPECT_EQ(t.app.state.status_link, "http://news.example/2027");
  EXPECT_TRUE(t.prompt.asked.empty());
  on_bottom_bar_clicked(t.app);
  ASSERT_EQ(t.web.opened.size(), 1u);
  EXPECT_EQ(t.web.opened[0], "http://news.example/2027");
}

TEST_F(UpdateCheck, EmptyStatusTextKeepsCaptionAndLink) {
  Fields f;
  f.status_text = "";
  serve(file_of(f));
  check_for_update(t.app);
  expect_nothing_shown();
}

TEST_F(UpdateCheck, StatusTextWithoutAddressLeavesAClickThatOpensNothing) {
  Fields f;
  f.status_address = "";
  serve(file_of(f));
  check_for_update(t.app);
  EXPECT_EQ(caption(), "新年快乐！");
  EXPECT_EQ(t.app.state.status_link, "");
  on_bottom_bar_clicked(t.app);
  EXPECT_TRUE(t.web.opened.empty());
}

TEST_F(UpdateCheck, OlderLatestVersionPromptsAndOkDownloads) {
  Fields f;
  f.latest = "3.4";
  serve(file_of(f));
  t.prompt.answer_ok = true;
  check_for_update(t.app);
  ASSERT_EQ(t.prompt.asked.size(), 1u);
  EXPECT_EQ(t.prompt.asked[0].text,
            "发现新版本 \r\n当前版本：3.5\r\n最新版本：3.4\r\n点确定下载新版！");
  EXPECT_EQ(t.prompt.asked[0].title, "更新提示！");
  ASSERT_EQ(t.downloader.downloads.size(), 1u);
  EXPECT_EQ(t.downloader.downloads[0], "http://dl.example/lanchuan36.exe");
  EXPECT_EQ(caption(), "新年快乐！");
}

TEST_F(UpdateCheck, CancelDownloadsNothing) {
  Fields f;
  f.latest = "3.6";
  serve(file_of(f));
  t.prompt.answer_ok = false;
  check_for_update(t.app);
  EXPECT_EQ(t.prompt.asked.size(), 1u);
  EXPECT_TRUE(t.downloader.downloads.empty());
}

TEST_F(UpdateCheck, OnlyTheExactVersionTextSuppressesThePrompt) {
  struct Case {
    const char* latest;
    bool prompts;
  };
  for (const Case& c : {Case{"3.5", false}, Case{"3.50", true}, Case{"", true}, Case{" 3.5", true},
                        Case{"3.4", true}}) {
    UpdateFakeApp app;
    Fields f;
    f.latest = c.latest;
    app.fetcher.bodies[kUpdateUrl] = file_of(f);
    check_for_update(app.app);
    EXPECT_EQ(app.prompt.asked.size(), c.prompts ? 1u : 0u) << "'" << c.latest << "'";
  }
}

TEST_F(UpdateCheck, FilesThatAreNotOursChangeNothing) {
  Fields wrong_site;
  wrong_site.site = "青禾 ";
  wrong_site.latest = "3.6";
  Fields no_site = wrong_site;
  no_site.site = "";
  struct Case {
    const char* what;
    std::string body;
  };
  const Case cases[] = {
      {"404 page",
       "<html><head><title>404 Not Found</title></head><body>Not Found</body></html>\n"},
      {"16-byte error body", "Not Found here!\n"},
      {"empty body", ""},
      {"site tag with a blank", file_of(wrong_site)},
      {"empty site", file_of(no_site)},
      {"other password", pack_update_data(content_of(Fields{}), "123456789")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    serve(c.body);
    check_for_update(t.app);
    expect_nothing_shown();
  }
}

TEST_F(UpdateCheck, EverythingAfterANulIsIgnored) {
  std::string content = "#网站青禾网站#";
  content.push_back('\0');
  content += "#状态文本隐藏状态文本##最新版本9.9最新版本#";
  serve(pack_update_data(content, kUpdatePassword));
  check_for_update(t.app);
  EXPECT_EQ(caption(), kDesignCaption);
  // The latest version is empty, which differs from "3.5" and still prompts.
  ASSERT_EQ(t.prompt.asked.size(), 1u);
  EXPECT_EQ(t.prompt.asked[0].text,
            "发现新版本 \r\n当前版本：3.5\r\n最新版本：\r\n点确定下载新版！");
}

TEST_F(UpdateCheck, BodyOverTheSizeLimitIsDropped) {
  // Valid files, one exactly at the limit and one a block over it.
  const std::string head = "#网站青禾网站##状态文本大文件状态文本#";
  const std::size_t at_limit = kMaxUpdateFileBytes - 4 - head.size();
  std::string body = pack_update_data(head + std::string(at_limit, ' '), kUpdatePassword);
  ASSERT_EQ(body.size(), kMaxUpdateFileBytes);
  serve(body);
  check_for_update(t.app);
  EXPECT_EQ(caption(), "大文件");

  UpdateFakeApp over;
  over.controls.set_text(ControlId::标签_底栏, kDesignCaption);
  body = pack_update_data(head + std::string(at_limit + 8, ' '), kUpdatePassword);
  ASSERT_GT(body.size(), kMaxUpdateFileBytes);
  over.fetcher.bodies[kUpdateUrl] = body;
  check_for_update(over.app);
  EXPECT_EQ(over.controls.text(ControlId::标签_底栏), kDesignCaption);
}

TEST_F(UpdateCheck, AddressesFromTheFileMustBeWebAddresses) {
  Fields f;
  f.status_address = "C:\\Windows\\System32\\calc.exe";
  f.latest = "3.6";
  f.download = "file:///C:/Windows/System32/calc.exe";
  serve(file_of(f));
  t.prompt.answer_ok = true;
  check_for_update(t.app);
  EXPECT_EQ(caption(), "新年快乐！");  // the caption is still shown
  EXPECT_EQ(t.prompt.asked.size(), 1u);
  EXPECT_TRUE(t.downloader.downloads.empty());
  on_bottom_bar_clicked(t.app);
  EXPECT_TRUE(t.web.opened.empty());
}

TEST_F(UpdateCheck, OurOwnAddressesAreOpened) {
  on_bottom_bar_clicked(t.app);
  open_more_software_page(t.app);
  ASSERT_EQ(t.web.opened.size(), 2u);
  EXPECT_EQ(t.web.opened[0], kDefaultStatusLink);
  EXPECT_EQ(t.web.opened[1], kDownloadPage);
}

TEST(WebAddress, SchemeAndSafeBytes) {
  struct Case {
    const char* address;
    bool accepted;
  };
  const Case cases[] = {
      {"http://www.example/", true},
      {"https://www.example/a?b=c&d=e#f", true},
      {"HTTP://WWW.EXAMPLE/", true},
      {"hTTpS://www.example/", true},
      {"http://网站.example/下载", true},
      {"", false},
      {"http:/www.example/", false},
      {"http:", false},
      {"ftp://www.example/", false},
      {"file:///C:/Windows/System32/calc.exe", false},
      {"C:\\Windows\\System32\\calc.exe", false},
      {"\\\\server\\share\\setup.exe", false},
      {"javascript:alert(1)", false},
      {" http://www.example/", false},
      {"http://www.example/\" --renderer-cmd-prefix=calc", false},
      {"http://www.example/ x", false},
      {"http://www.example/\r\n", false},
      {"http://www.example/\t", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_web_address(c.address), c.accepted) << c.address;
  }
}

TEST(UpdateConfig, AddressesAreConsistentAndAcceptable) {
  EXPECT_EQ(std::string(kUpdateUrl),
            std::string("http://update.lanchuan.example") + "/GengXin/DEdodovez/DEdodovez.jpg");
  EXPECT_TRUE(is_web_address(kDefaultStatusLink));
  EXPECT_TRUE(is_web_address(kDownloadPage));
}

}  // namespace
}  // namespace lanchuan
