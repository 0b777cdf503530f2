// The pieces of the database generator: the GIF picture checked by an
// independent reader, the source tables and what they refuse, the cabinet
// and the sample packages' paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "support/HostCommand.h"
#include "support/TestMachine.h"
#include "tools/database/DatabaseTables.h"
#include "tools/database/GifPicture.h"
#include "tools/database/MemoryCabinet.h"
#include "tools/database/SamplePackages.h"

namespace korvane::test {
namespace {

namespace fs = std::filesystem;
using namespace korvane::dbgen;

class HostFolder {
 public:
  HostFolder() : path_(fs::temp_directory_path() / ("korvane-dbgen-" + std::to_string(::getpid()))) {
    fs::create_directories(path_);
  }
  ~HostFolder() { fs::remove_all(path_); }
  fs::path write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return path_ / name;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  fs::path path_;
};

// The pixels as an independent reader decodes them, one byte per pixel.
std::string decodedGrey(const HostFolder& folder, const std::string& gif) {
  const fs::path file = folder.write("picture.gif", gif + std::string(20000, 'x'));  // carried data after it
  std::string output;
  const fs::path grey = file.string() + ".grey";
  EXPECT_EQ(runCommand("convert " + quoted(file) + " -depth 8 gray:" + quoted(grey), &output), 0)
      << output;
  return folder.read("picture.gif.grey");
}

Picture greyPicture(uint16_t width, uint16_t height, size_t colours) {
  Picture picture{width, height, {}, {}};
  for (size_t i = 0; i < colours; ++i)
    picture.palette.push_back(Colour{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)});
  return picture;
}

std::string asBytes(const std::vector<uint8_t>& pixels) { return {pixels.begin(), pixels.end()}; }

TEST(DatabasePicture, AnIndependentReaderSeesThePicturesPixels) {
  KORVANE_NEEDS(haveTool("convert"), "ImageMagick is not installed");
  HostFolder folder;
  // Noise in 256 colours fills the code table again and again; long runs in
  // three colours make long codes: both take every code width.
  Picture noise = greyPicture(300, 200, 256);
  uint32_t seed = 1;
  for (size_t i = 0; i < 60000; ++i) {
    seed = seed * 1103515245 + 12345;
    noise.pixels.push_back(static_cast<uint8_t>((seed >> 16) % ((i / 1000) % 2 ? 256 : 3)));
  }
  EXPECT_EQ(decodedGrey(folder, writePaddedGif(noise, "", 200000)), asBytes(noise.pixels));

  Picture two = greyPicture(1, 1, 2);
  two.pixels = {1};
  EXPECT_EQ(decodedGrey(folder, writePaddedGif(two, "c", 100)), "\x01");

  const Picture shipped = databasePicture();
  const std::string gif = writePaddedGif(shipped, "Korvane", 4361);
  std::string output;
  ASSERT_EQ(runCommand("identify " + quoted(folder.write("shipped.gif", gif)), &output), 0) << output;
  EXPECT_NE(output.find("GIF 200x150"), std::string::npos) << output;
}

TEST(DatabasePicture, PaddingMakesTheExactLengthWithTheTrailerLast) {
  const Picture picture = databasePicture();
  const size_t bare = writePaddedGif(picture, "", 4361).find("\x21\xFE");
  ASSERT_NE(bare, std::string::npos);
  // Padding of 3 bytes (an empty comment), 5 (one data byte), and around the
  // 255-byte sub-block limit, where a one-byte remainder must be avoided.
  for (size_t padding : {3, 5, 6, 257, 258, 259, 260, 513, 4000}) {
    const std::string gif = writePaddedGif(picture, "Korvane driver database", bare + padding + 1);
    ASSERT_EQ(gif.size(), bare + padding + 1) << padding;
    EXPECT_EQ(gif.back(), ';') << padding;
    EXPECT_EQ(gif.substr(bare, 2), "\x21\xFE") << padding;
    EXPECT_EQ(gif[gif.size() - 2], '\0') << padding;  // the comment's terminator
  }
  EXPECT_NE(writePaddedGif(picture, "Korvane driver database", 4361).find("Korvane driver database"),
            std::string::npos);
  EXPECT_THROW(writePaddedGif(picture, "", bare + 4 + 1), std::invalid_argument);
  EXPECT_THROW(writePaddedGif(picture, "", bare + 2 + 1), std::invalid_argument);
  Picture wrong = picture;
  wrong.pixels[10] = 4;  // the palette has four colours
  EXPECT_THROW(writePaddedGif(wrong, "", 4361), std::invalid_argument);
}

TEST(DatabaseTables, RowsAreReadWithQuotesCommentsAndOptionalNotes) {
  const std::string text =
      "\xEF\xBB\xBF# a comment\r\n"
      "\r\n"
      "hardware_id,version,url,notes\r\n"
      "PCI\\VEN_1D4E&DEV_0322,6.14,http://download.example.net/a.cab\r\n"
      "# between rows\n"
      "\"USB\\VID_1F0C,\"\"x\"\"\",2.1,https://download.example.net/b.cab,\"one, two\"\n";
  const std::vector<TableEntry> entries = readTable("XP.csv", text);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].hardwareId, "PCI\\VEN_1D4E&DEV_0322");
  EXPECT_EQ(entries[0].notes, "");
  EXPECT_EQ(entries[0].line, 4);
  EXPECT_EQ(entries[1].hardwareId, "USB\\VID_1F0C,\"x\"");
  EXPECT_EQ(entries[1].notes, "one, two");
  EXPECT_EQ(entries[1].line, 6);

  TableEntry entry = entries[1];
  EXPECT_EQ(restoredLine("XP.csv", entry), "USB\\VID_1F0C,\"x\"::2.1::https://download.example.net/b.cab::one, two;");
  entry.sha256 = std::string(64, 'a');
  entry.notes.clear();
  EXPECT_EQ(restoredLine("XP.csv", entry),
            "USB\\VID_1F0C,\"x\"::2.1::https://download.example.net/b.cab::sha256=" + std::string(64, 'a') + ";");
}

// The message of the TableError that f throws, or "<no error>".
template <typename F>
std::string refusal(F f) {
  try {
    f();
  } catch (const TableError& error) {
    return error.what();
  }
  return "<no error>";
}

TEST(DatabaseTables, WhatCannotBecomeADatabaseIsRefusedWithTableAndLine) {
  const std::string header = "hardware_id,version,url,notes\n";
  auto read = [&](const std::string& rows) { return refusal([&] { readTable("98.csv", header + rows); }); };
  EXPECT_EQ(refusal([] { readTable("98.csv", "id,version,url\n"); }),
            "98.csv:1: the first line must name the columns: hardware_id,version,url,notes");
  EXPECT_EQ(refusal([] { readTable("98.csv", "# only a comment\n"); }),
            "98.csv:1: no column line: hardware_id,version,url,notes");
  EXPECT_EQ(read("A,1\n"), "98.csv:2: expected 3 or 4 columns (hardware_id,version,url,notes), found 2");
  EXPECT_EQ(read("A,1,http://h/x,n,extra\n"),
            "98.csv:2: expected 3 or 4 columns (hardware_id,version,url,notes), found 5");
  EXPECT_EQ(read("\"A,1,http://h/x\n"), "98.csv:2: a quoted field does not end on its line");
  EXPECT_EQ(read("\"A\"B,1,http://h/x\n"), "98.csv:2: text after a closing quote");

  auto line = [&](const std::string& row) {
    return refusal([&] {
      for (const TableEntry& entry : readTable("98.csv", header + "# x\n" + row)) restoredLine("98.csv", entry);
    });
  };
  EXPECT_EQ(line("A,1,http://h/x,K\xC3\xB6ln\n"),  // "ö" in UTF-8 ends in 0xB6: fine
            "<no error>");
  // 0xF3 scrambles to a carriage return and 0xF6 to a line feed.
  EXPECT_EQ(line("A,1,http://h/x,Lyse\xF3y\n"),
            "98.csv:3: byte 0xF3 at character 5 of notes would become a line end in the database; write the text "
            "without it");
  EXPECT_EQ(line("A\xF6,1,http://h/x\n"),
            "98.csv:3: byte 0xF6 at character 2 of hardware_id would become a line end in the database; write the "
            "text without it");
  EXPECT_EQ(line("A::B,1,http://h/x\n"), "98.csv:3: hardware_id must be given and hold no \"::\"");
  EXPECT_EQ(line(",1,http://h/x\n"), "98.csv:3: hardware_id must be given and hold no \"::\"");
  EXPECT_EQ(line("A,,http://h/x\n"), "98.csv:3: version must be given and hold no \"::\"");
  for (const char* url : {"ftp://h/x", "http://", "h/x", "http://h/x::y", "http://h/a b"})
    EXPECT_EQ(line(std::string("A,1,") + url + "\n"),
              "98.csv:3: url must be an http:// or https:// address without blanks or \"::\"")
        << url;
  EXPECT_EQ(line("A,1,HTTPS://h/x\n"), "<no error>");
}

TEST(DatabaseTables, TablesAreNamedAfterTheirFamily) {
  EXPECT_EQ(familyFileFor("samples/database/XP.csv"), "DBxxxXP.inf");
  EXPECT_EQ(familyFileFor("C:\\tables\\Me.csv"), "DBxxxMe.inf");
  for (const char* family : {"2K", "98", "95", "NT"})
    EXPECT_EQ(familyFileFor(std::string(family) + ".csv"), std::string("DBxxx") + family + ".inf");
  for (const char* other : {"xp.csv", "XP.txt", "Vista.csv", "XP", ".csv"})
    EXPECT_EQ(familyFileFor(other), std::nullopt) << other;
}

TEST(DatabaseCabinet, CabextractReadsTheCabinetAndTheSameFilesGiveTheSameBytes) {
  KORVANE_NEEDS(haveTool("cabextract"), "cabextract is not installed");
  std::string large;
  for (int i = 0; i < 30000; ++i) large += std::to_string(i * 7919 % 1000) + ",";  // more than one block
  const std::vector<CabinetItem> items = {{"DBxxxXP.inf", "xp\r\n"}, {"DBxxx98.inf", large}, {"DBxxxNT.inf", ""}};
  const std::string cabinet = writeCabinet(items);
  EXPECT_EQ(writeCabinet(items), cabinet);
  HostFolder folder;
  const fs::path file = folder.write("database.cab", cabinet);
  std::string listing;
  ASSERT_EQ(runCommand("cabextract -l " + quoted(file), &listing), 0) << listing;
  const std::string listed[] = {"         4 | 14.03.2004 11:56:14 | DBxxxXP.inf",
                                "    " + std::to_string(large.size()) + " | 14.03.2004 11:56:14 | DBxxx98.inf",
                                "         0 | 14.03.2004 11:56:14 | DBxxxNT.inf"};
  for (const std::string& line : listed) EXPECT_NE(listing.find(line), std::string::npos) << line << "\n" << listing;
  std::string extracted;
  ASSERT_EQ(runCommand("cabextract -q -p -F DBxxx98.inf " + quoted(file), &extracted), 0);
  EXPECT_TRUE(extracted == large) << extracted.size() << " bytes extracted";
}

TEST(SamplePackages, AURLReachesOnlyAFileBelowThePackagesFolder) {
  EXPECT_EQ(packagePath("http://download.example.net/drivers/orvik/sw64-5.12.cab"), "drivers/orvik/sw64-5.12.cab");
  EXPECT_EQ(packagePath("https://h:8080/a_b.cab?x=1#y"), "a_b.cab");
  for (const char* url : {"http://h", "http://h/", "http://h/a/", "http://h/a//b.cab", "http://h/../b.cab",
                          "http://h/a/./b.cab", "http://h/a/%2e%2e/b.cab", "http://h/a\\b.cab", "http://h/c:b.cab",
                          "http://h/a b.cab", "no-scheme/a.cab"})
    EXPECT_EQ(packagePath(url), std::nullopt) << url;
}

}  // namespace
}  // namespace korvane::test
