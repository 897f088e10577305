// The INI layer: how names, blanks and integers read, and how a written key
// changes the file while every other byte stays where it was.
#include <gtest/gtest.h>

#include "app/ini_file.h"

namespace tvn {
namespace {

TEST(IniInteger, AcceptsTheDecimalAndHexFormsOnly) {
  struct Case {
    const char* text;
    std::optional<uint64_t> value;
  } cases[] = {
      {"632", 632},
      {"+632", 632},
      {"-1", ~uint64_t{0}},
      {"$278", 0x278},
      {"$ff", 0xFF},
      {"0x278", 0x278},
      {"0X1aB", 0x1AB},
      {"-$10", ~uint64_t{0} - 15},
      {"0", 0},
      {"007", 7},
      // 2^64 + 632: only the low bits survive, and they are exact.
      {"18446744073709552248", 632},
      {"1F", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"-", std::nullopt},
      {"", std::nullopt},
      {"12 3", std::nullopt},
      {"0x1G", std::nullopt},
      {"x10", std::nullopt},
      {"--1", std::nullopt},
      {"١٢", std::nullopt},  // digits of another script are no digits here
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseIniInteger(c.text), c.value);
  }
}

TEST(IniRead, NamesMatchWithoutCaseAndBlanksAroundValuesAreIgnored) {
  IniFile ini = IniFile::FromText(
      "; a comment = not a key\n"
      "[Other]\n"
      "AdrLpt=1\n"
      "  [ form_PARAM ]  trailing words\r\n"
      "noequals\n"
      "  adrlpt  =   632   \r\n"
      "AdrLpt=999\n"
      "Edit2=\tc:\\Прошивки\\tvn.hex \n"
      "Edit5=\n"
      "Spaced Key = a = b\n"
      "[Form_Param]\n"
      "Late=1\n");
  EXPECT_EQ(ini.ReadInteger("Form_Param", "AdrLpt", 888), 632u);  // first key wins
  EXPECT_EQ(ini.ReadInteger("Other", "ADRLPT", 888), 1u);
  EXPECT_EQ(ini.ReadString("Form_Param", "Edit2", "d"), "c:\\Прошивки\\tvn.hex");
  EXPECT_EQ(ini.ReadString("Form_Param", "Edit5", "d"), "");  // present but empty is not missing
  EXPECT_EQ(ini.ReadString("Form_Param", "spaced key", "d"), "a = b");
  EXPECT_EQ(ini.ReadString("Form_Param", "Late", "d"), "d");  // only the first section of a name
  EXPECT_EQ(ini.ReadString("Form_Param", "noequals", "d"), "d");
  EXPECT_EQ(ini.ReadString("Missing", "AdrLpt", "d"), "d");
  EXPECT_EQ(ini.ReadString("", "; a comment", "d"), "d");
}

TEST(IniRead, OverlongLinesAreSkippedNotFatal) {
  std::string text = "[Form_Param]\n";
  text += "Edit2=" + std::string(IniFile::kMaxLineBytes, 'x') + "\n";
  text += "[Form_Param" + std::string(IniFile::kMaxLineBytes, ' ') + "]\n";  // no header either
  text += "AdrLpt=$278";  // the last line has no line break
  IniFile ini = IniFile::FromText(text);
  EXPECT_EQ(ini.ReadString("Form_Param", "Edit2", "c:\\"), "c:\\");
  EXPECT_EQ(ini.ReadInteger("Form_Param", "AdrLpt", 888), 0x278u);
}

TEST(IniWrite, ChangesOnlyTheKeyAndKeepsEverythingElse) {
  struct Case {
    const char* what;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  } cases[] = {
      {"replaced in place, spelling of the file kept",
       "; settings\n[FormConfig]\nConfigWrite[0]=$22\n\n[form_param]\n  EDIT2 = old \nAdrLpt=$278\n[Z]\nk=v\n",
       "Form_Param", "Edit2", "c:\\new",
       "; settings\n[FormConfig]\nConfigWrite[0]=$22\n\n[form_param]\nEDIT2=c:\\new\nAdrLpt=$278\n[Z]\nk=v\n"},
      {"new key after the last filled line of its section",
       "[Form_Param]\nEdit2=a\n\n\n[Other]\nx=1\n", "Form_Param", "AdrLpt", "632",
       "[Form_Param]\nEdit2=a\nAdrLpt=632\n\n\n[Other]\nx=1\n"},
      {"missing section appended, file without final line break",
       "[Other]\nx=1", "Form_Param", "AdrLpt", "888", "[Other]\nx=1\n[Form_Param]\nAdrLpt=888\n"},
      {"section header is the last line", "[Form_Param]", "Form_Param", "Edit5", "c:\\",
       "[Form_Param]\nEdit5=c:\\"},
      {"empty file", "", "Form_Param", "Edit2", "c:\\", "[Form_Param]\nEdit2=c:\\\n"},
      {"CRLF file stays CRLF", "[Form_Param]\r\nEdit2=a\r\nAdrLpt=1\r\n", "Form_Param", "AdrLpt", "632",
       "[Form_Param]\r\nEdit2=a\r\nAdrLpt=632\r\n"},
      {"CRLF file gets CRLF for new lines", "[Other]\r\nx=1\r\n", "Form_Param", "Edit2", "p",
       "[Other]\r\nx=1\r\n[Form_Param]\r\nEdit2=p\r\n"},
      {"only the first of two sections of that name",
       "[Form_Param]\nEdit2=a\n[Form_Param]\nEdit5=b\n", "Form_Param", "Edit5", "c",
       "[Form_Param]\nEdit2=a\nEdit5=c\n[Form_Param]\nEdit5=b\n"},
      {"line breaks in a value cannot plant a key",
       "[Form_Param]\nAdrLpt=888\n", "Form_Param", "Edit2", "c:\\x\r\nAdrLpt=1",
       "[Form_Param]\nAdrLpt=888\nEdit2=c:\\xAdrLpt=1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IniFile ini = IniFile::FromText(c.before);
    ini.WriteString(c.section, c.key, c.value);
    EXPECT_EQ(ini.Text(), c.after);
  }
}

TEST(IniWrite, BinaryBytesAroundTheSectionSurvive) {
  std::string junk;
  for (int i = 0; i < 256; ++i) junk += static_cast<char>(i);
  std::string before = junk + "\n[Form_Param]\nAdrLpt=1\n" + junk;
  IniFile ini = IniFile::FromText(before);
  ini.WriteString("Form_Param", "AdrLpt", "632");
  std::string expected = before;
  expected.replace(expected.find("AdrLpt=1"), 8, "AdrLpt=632");
  EXPECT_EQ(ini.Text(), expected);
  EXPECT_EQ(ini.ReadInteger("Form_Param", "AdrLpt", 0), 632u);
}

}  // namespace
}  // namespace tvn
