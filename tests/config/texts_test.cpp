#include "config/texts.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/paths.h"
#include "config/ini_file.h"
#include "config/xml_reader.h"
#include "support/temp_folder.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

std::string ToUtf16Le(const std::string& utf8) {
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  std::string out(utf8.size() * 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* o = out.data();
  size_t outLeft = out.size();
  EXPECT_NE(iconv(cd, &in, &inLeft, &o, &outLeft), static_cast<size_t>(-1));
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

class TextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "prog");
    fs::create_directories(dir_ / "user");
    savedProgramDir_ = ProgramDir;
    savedUserDataDir_ = UserDataDir;
    ProgramDir = (dir_ / "prog").string() + "/";
    UserDataDir = (dir_ / "user").string() + "/";
  }
  void TearDown() override {
    ProgramDir = savedProgramDir_;
    UserDataDir = savedUserDataDir_;
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  test::TempFolder tmp_{"texts"};
  fs::path dir_{tmp_.Root()};
  std::string savedProgramDir_, savedUserDataDir_;
};

TEST(TextIdsTest, ListHasEveryIdOnceInLoadOrder) {
  const auto& ids = TextIds();
  EXPECT_EQ(ids.size(), 205u);
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());
  for (const std::string& id : ids) {
    EXPECT_EQ(id.rfind("tc_", 0), 0u) << id;
    EXPECT_LE(id.size(), 29u) << id;
  }
  auto at = [&](const std::string& id) {
    return std::find(ids.begin(), ids.end(), id) - ids.begin();
  };
  EXPECT_EQ(ids.front(), "tc_config");
  EXPECT_EQ(at("tc_macro_msg1"), at("tc_macro_loop3") + 1);
  EXPECT_EQ(at("tc_msfun"), at("tc_macro_msg22") + 1);
  EXPECT_EQ(at("tc_msg1"), at("tc_prosw") + 1);
  EXPECT_EQ(at("tc_mode1"), at("tc_msg38") + 1);
  EXPECT_EQ(at("tc_adv_str1"), at("tc_led_eft4") + 1);
  EXPECT_EQ(at("tc_tip1"), at("tc_adv_str30") + 1);
  EXPECT_EQ(at("tc_new1"), at("tc_tip5") + 1);
  // The program's own texts follow the numbered families.
  EXPECT_EQ(at("tc_key_unknown"), at("tc_new13") + 1);
  EXPECT_EQ(ids.back(), "tc_dev_busy");
}

TEST_F(TextsTest, LookupTakesFirstConfigThatHasTheIdAndItsFirstChild) {
  WriteFile(Path("t.xml"),
            "<?xml version=\"1.0\"?>\n"
            "<other><tc_exit>not in config</tc_exit></other>\n"
            "<config lang=\"x\">\n"
            "  <tc_exit attr=\"ignored\">First &amp; only</tc_exit>\n"
            "  <tc_exit>Second</tc_exit>\n"
            "  <tc_unknown>ignored</tc_unknown>\n"
            "  <tc_ok></tc_ok>\n"
            "</config>\n"
            "<config>\n"
            "  <tc_exit>From the second config</tc_exit>\n"
            "  <tc_cancel>Cancel here</tc_cancel>\n"
            "  <tc_ok>OK from second</tc_ok>\n"
            "</config>\n");
  TextTable table;
  EXPECT_TRUE(table.Load(Path("t.xml")));
  EXPECT_EQ(table.Get("tc_exit"), "First & only");
  EXPECT_EQ(table.Get("tc_cancel"), "Cancel here");
  EXPECT_EQ(table.Get("tc_ok"), "");  // present but empty in the first config
  EXPECT_EQ(table.Get("tc_version"), "");
  EXPECT_EQ(table.Get("tc_unknown"), "");
  EXPECT_EQ(table.NonEmptyCount(), 2u);

  // Without a "config" element every text is empty.
  WriteFile(Path("none.xml"), "<configs><tc_exit>x</tc_exit></configs>");
  EXPECT_TRUE(table.Load(Path("none.xml")));
  EXPECT_EQ(table.NonEmptyCount(), 0u);
}

TEST_F(TextsTest, EachLoadAssignsEveryIdAnewAndOldReferencesStay) {
  WriteFile(Path("a.xml"), "<config><tc_exit>Exit</tc_exit><tc_ok>OK</tc_ok></config>");
  WriteFile(Path("b.xml"), "<config><tc_ok>Okay</tc_ok></config>");
  TextTable table;
  ASSERT_TRUE(table.Load(Path("a.xml")));
  const std::string& oldExit = table.Get("tc_exit");
  ASSERT_TRUE(table.Load(Path("b.xml")));
  EXPECT_EQ(table.Get("tc_exit"), "");  // not kept from the previous language
  EXPECT_EQ(table.Get("tc_ok"), "Okay");
  EXPECT_EQ(oldExit, "Exit");
  EXPECT_EQ(table.LoadedPath(), Path("b.xml"));

  EXPECT_FALSE(table.Load(Path("missing.xml")));
  EXPECT_EQ(table.Get("tc_ok"), "");
  EXPECT_EQ(table.NonEmptyCount(), 0u);
}

TEST_F(TextsTest, HostileLanguageFilesLoadWithoutCrashing) {
  std::string garbage(1 << 20, '\0');
  uint32_t x = 7;
  for (char& c : garbage) c = static_cast<char>((x = x * 1103515245 + 12345) >> 16);
  WriteFile(Path("g.xml"), garbage);
  WriteFile(Path("trunc.xml"), "<config><tc_exit>Ex");
  WriteFile(Path("dup.xml"), "<config>" + std::string(200000, ' ') + "<tc_ok>" +
                                 std::string(100000, 'k') + "</tc_ok></config>");
  TextTable table;
  EXPECT_TRUE(table.Load(Path("g.xml")));
  EXPECT_TRUE(table.Load(Path("trunc.xml")));
  EXPECT_EQ(table.Get("tc_exit"), "Ex");
  EXPECT_TRUE(table.Load(Path("dup.xml")));
  EXPECT_EQ(table.Get("tc_ok").size(), 100000u);
  EXPECT_FALSE(table.Load(dir_.string()));  // a folder is no file
}

// FIFOs in place of lang.ini, text.xml and cfg.ini: nothing waits on them.
TEST_F(TextsTest, PipesInPlaceOfTheFilesAreRefusedAtOnce) {
  ASSERT_EQ(::mkfifo((dir_ / "user" / "lang.ini").c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo((dir_ / "prog" / "text.xml").c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo((dir_ / "prog" / "cfg.ini").c_str(), 0644), 0);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadLangIndex(3), 3);
  EXPECT_FALSE(LoadDefaultTexts());
  XmlDocument doc;
  EXPECT_FALSE(doc.Load(ProgramDir + "text.xml"));
  IniFile ini;
  EXPECT_FALSE(ini.Load(ProgramDir + "cfg.ini"));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  // Choosing a language replaces the pipe with a real lang.ini.
  EXPECT_TRUE(WriteLangIndex(1));
  EXPECT_TRUE(fs::is_regular_file(dir_ / "user" / "lang.ini"));
  EXPECT_EQ(ReadLangIndex(0), 1);
}

TEST_F(TextsTest, LanguageChoiceIsReadCheckedAndWritten) {
  WriteFile(dir_ / "prog" / "text.xml", "<config><tc_exit>Default</tc_exit></config>");
  WriteFile(dir_ / "prog" / "en" / "text.xml", "<config><tc_exit>Exit</tc_exit></config>");
  WriteFile(dir_ / "prog" / "de" / "text.xml", "<config><tc_exit>Beenden</tc_exit></config>");
  const std::vector<std::string> folders = {"en", "de"};
  EXPECT_EQ(LanguageTextPath(folders, 1), ProgramDir + "de/text.xml");
  EXPECT_EQ(LanguageTextPath({}, 0), ProgramDir + "/text.xml");

  EXPECT_TRUE(LoadDefaultTexts());
  EXPECT_EQ(Tx("tc_exit"), "Default");

  // No lang.ini: language 0.
  EXPECT_EQ(ReadLangIndex(0), 0);
  EXPECT_EQ(LoadChosenLanguage(folders), 0);
  EXPECT_EQ(Tx("tc_exit"), "Exit");

  // Choosing writes the index at once; the next start uses it.
  EXPECT_TRUE(ChooseLanguage(folders, 1));
  EXPECT_EQ(Tx("tc_exit"), "Beenden");
  EXPECT_EQ(CurrentLanguageIndex(), 1);
  EXPECT_NE(ReadFile(dir_ / "user" / "lang.ini").find("LangIndex=1"), std::string::npos);
  EXPECT_EQ(LoadChosenLanguage(folders), 1);
  EXPECT_FALSE(ChooseLanguage(folders, 2));
  EXPECT_FALSE(ChooseLanguage(folders, -1));
  EXPECT_EQ(CurrentLanguageIndex(), 1);

  // Out-of-range and negative indexes fall back to language 0.
  for (const char* value : {"5", "-1", "2"}) {
    WriteFile(dir_ / "user" / "lang.ini", std::string("[OPT]\nLangIndex=") + value + "\n");
    EXPECT_EQ(LoadChosenLanguage(folders), 0) << value;
    EXPECT_EQ(Tx("tc_exit"), "Exit");
  }
  // An empty language list reads ProgramDir + "/text.xml", the default file.
  EXPECT_EQ(LoadChosenLanguage({}), 0);
  EXPECT_EQ(Tx("tc_exit"), "Default");
}

TEST_F(TextsTest, LangIniFollowsProfileRulesAndKeepsOtherLines) {
  const fs::path ini = dir_ / "user" / "lang.ini";
  WriteFile(ini,
            "; user choice\n[Other]\nLangIndex=7\n\n[opt]\nlangindex = 3\nLangIndex=4\nKeep=yes\n\n"
            "[Tail]\nA=1\n");
  EXPECT_EQ(ReadLangIndex(0), 3);
  ASSERT_TRUE(WriteLangIndex(1));
  EXPECT_EQ(ReadLangIndex(0), 1);
  const std::string text = ReadFile(ini);
  EXPECT_EQ(text,
            "; user choice\n[Other]\nLangIndex=7\n\n[opt]\nLangIndex=1\nLangIndex=4\nKeep=yes\n\n"
            "[Tail]\nA=1\n");
  EXPECT_FALSE(fs::exists(ini.string() + ".tmp"));

  // A section without the key gets it after its last entry.
  WriteFile(ini, "[OPT]\nKeep=yes\n\n[Tail]\nA=1\n");
  ASSERT_TRUE(WriteLangIndex(0));
  EXPECT_EQ(ReadFile(ini), "[OPT]\nKeep=yes\nLangIndex=0\n\n[Tail]\nA=1\n");
  // A file without the section gets both.
  WriteFile(ini, "[Tail]\nA=1\n");
  ASSERT_TRUE(WriteLangIndex(2));
  EXPECT_EQ(ReadFile(ini), "[Tail]\nA=1\n[OPT]\nLangIndex=2\n");
  EXPECT_EQ(ReadLangIndex(0), 2);

  // A value that is not a number reads as 0; an unwritable folder fails.
  WriteFile(ini, "[OPT]\nLangIndex=abc\n");
  EXPECT_EQ(ReadLangIndex(5), 0);
  UserDataDir = (dir_ / "no" / "such" / "dir").string() + "/";
  EXPECT_EQ(ReadLangIndex(5), 5);
  EXPECT_FALSE(WriteLangIndex(1));
}

// --- The installation's language files --------------------------------------

std::vector<std::string> Conversions(const std::string& text) {
  static const std::regex conversion(
      "%[-+ #0]*[0-9*]*(\\.[0-9*]+)?(hh|h|ll|l|z|j|t|L)?[diouxXeEfgGcspn%]");
  std::vector<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), conversion);
       it != std::sregex_iterator(); ++it) {
    found.push_back(it->str());
  }
  return found;
}

TEST(BundledTextsTest, EveryFileHasEveryIdWithTheSameConversions) {
  const std::string data = TOLVANE_SOURCE_DATA_DIR;
  const std::vector<std::string> files = {data + "text.xml", data + "en/text.xml",
                                          data + "de/text.xml"};
  std::vector<std::vector<std::string>> texts;
  for (const std::string& file : files) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(file)) << file;
    EXPECT_TRUE(doc.Parse()) << file << ": " << doc.Error();
    EXPECT_EQ(doc.EncodingName(), "UTF-8") << file;
    // Every element under "config" is a known id (a misspelt id is lost).
    const auto& ids = TextIds();
    std::set<std::string> known(ids.begin(), ids.end());
    std::set<std::string> seen;
    for (uint32_t e = doc.FirstChild(doc.FirstTopLevel()); e != 0; e = doc.NextSibling(e)) {
      const std::string name(doc.Name(e));
      EXPECT_TRUE(known.count(name)) << file << ": unknown id " << name;
      EXPECT_TRUE(seen.insert(name).second) << file << ": " << name << " twice";
    }

    TextTable table;
    ASSERT_TRUE(table.Load(file));
    std::vector<std::string> row;
    for (const std::string& id : ids) {
      const std::string& text = table.Get(id);
      EXPECT_FALSE(text.empty()) << file << ": " << id;
      EXPECT_EQ(text.find_first_of("\n\r\t"), std::string::npos) << file << ": " << id;
      EXPECT_EQ(text.find('&'), text.find("& ")) << file << ": undecoded reference in " << id;
      row.push_back(text);
    }
    texts.push_back(row);
  }
  const auto& ids = TextIds();
  for (size_t k = 0; k < ids.size(); ++k) {
    for (size_t f = 1; f < texts.size(); ++f) {
      EXPECT_EQ(Conversions(texts[f][k]), Conversions(texts[0][k])) << files[f] << ": " << ids[k];
    }
  }
  // The default file is the English one.
  EXPECT_EQ(texts[0], texts[1]);
  EXPECT_NE(texts[1], texts[2]);
}

TEST_F(TextsTest, Utf16LanguageFileEqualsItsUtf8Twin) {
  const std::string utf8 = ReadFile(std::string(TOLVANE_SOURCE_DATA_DIR) + "de/text.xml");
  ASSERT_FALSE(utf8.empty());
  std::string decl = "encoding=\"UTF-8\"";
  std::string body = utf8;
  body.replace(body.find(decl), decl.size(), "encoding=\"UTF-16\"");
  WriteFile(Path("de16.xml"), "\xFF\xFE" + ToUtf16Le(body));
  WriteFile(Path("de8.xml"), utf8);
  TextTable a, b;
  ASSERT_TRUE(a.Load(Path("de8.xml")));
  ASSERT_TRUE(b.Load(Path("de16.xml")));
  EXPECT_EQ(a.NonEmptyCount(), TextIds().size());
  for (const std::string& id : TextIds()) EXPECT_EQ(a.Get(id), b.Get(id)) << id;
  EXPECT_EQ(b.Get("tc_exit"), "Beenden");
  EXPECT_EQ(b.Get("tc_msg9").find("\xE2\x80\x9E"), a.Get("tc_msg9").find("\xE2\x80\x9E"));
}

}  // namespace
}  // namespace tolvane
