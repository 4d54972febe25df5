// The worker protocol's framing and the text conversion between module
// bytes and bus strings.
#include <gtest/gtest.h>

#include "PrivateBus.h"
#include "Text8Bit.h"
#include "WorkerProtocol.h"

namespace kvq::ostrel {
namespace {

TEST(FrameReaderTest, FramesComeOutWholeAndInOrderHoweverTheBytesArrive) {
  std::string bytes = EncodeFrame(FrameType::Output, "first line") +
                      EncodeFrame(FrameType::NeedLine, "") +
                      EncodeFrame(FrameType::Event, std::string("FCN\0 2 1. 0.", 12));
  FrameReader reader;
  std::vector<Frame> frames;
  bool error = false;
  for (char byte : bytes) {  // one byte at a time: the hardest split
    reader.Append(&byte, 1);
    while (auto frame = reader.Next(error)) frames.push_back(*frame);
    ASSERT_FALSE(error);
  }
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].type, FrameType::Output);
  EXPECT_EQ(frames[0].payload, "first line");
  EXPECT_EQ(frames[1].type, FrameType::NeedLine);
  EXPECT_EQ(SplitPayload(frames[2].payload), (std::vector<std::string>{"FCN", " 2 1. 0."}));
  EXPECT_TRUE(reader.Empty());
  EXPECT_EQ(DecodeStatus(EncodeStatus(-7)), -7);
}

TEST(FrameReaderTest, OversizedOrUnknownFramesBreakTheConnection) {
  for (const std::string& bad : {std::string("\xff\xff\xff\x7f\x0b", 5),     // 2 GiB payload
                                 std::string("\x00\x00\x00\x00\x63", 5)}) {  // type 99
    FrameReader reader;
    reader.Append(bad.data(), bad.size());
    bool error = false;
    EXPECT_FALSE(reader.Next(error));
    EXPECT_TRUE(error);
  }
}

TEST(Text8BitTest, Utf8PassesOtherBytesAreWindows1251) {
  EXPECT_EQ(DecodeModuleText("plain"), "plain");
  EXPECT_EQ(DecodeModuleText("\xd0\x9f\xd1\x80\xd0\xb8"), QString::fromUtf8("При"));
  EXPECT_EQ(DecodeModuleText("\xcf\xf0\xe8 1"), QString::fromUtf8("При 1"));
  EXPECT_EQ(DecodeModuleText("\xb9\x98"), QString::fromUtf8("№\uFFFD"));
  // Overlong forms and surrogates are not UTF-8.
  EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));
  EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));
  EXPECT_FALSE(IsValidUtf8("\xf4\x90\x80\x80"));
  EXPECT_TRUE(IsValidUtf8("\xf0\x9f\x98\x80"));
  // The byte 0 cannot travel in a bus string; it is shown, not dropped.
  EXPECT_EQ(DecodeModuleText(std::string("a\0b", 3)), QString::fromUtf8("a\u2400b"));
  EXPECT_EQ(EncodeModuleText(QString::fromUtf8("При")), "\xd0\x9f\xd1\x80\xd0\xb8");
}

}  // namespace
}  // namespace kvq::ostrel
