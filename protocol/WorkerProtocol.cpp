#include "WorkerProtocol.h"

#include <algorithm>

namespace kvq::ostrel {

namespace {

bool IsKnownType(std::uint8_t type) {
  switch (static_cast<FrameType>(type)) {
    case FrameType::Load:
    case FrameType::Start:
    case FrameType::Line:
    case FrameType::EndOfInput:
    case FrameType::Channel:
    case FrameType::Loaded:
    case FrameType::Output:
    case FrameType::Debug:
    case FrameType::Event:
    case FrameType::NeedLine:
    case FrameType::Ended:
    case FrameType::Piece:
      return true;
  }
  return false;
}

void AppendLittleEndian(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<char>((value >> shift) & 0xff));
}

std::uint32_t ReadLittleEndian(const std::string& in, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(in[at + i]);
  return value;
}

}  // namespace

void AppendFrame(std::string& out, FrameType type, std::string_view payload) {
  for (;;) {
    std::string_view part = payload.substr(0, kMaxPayload);
    payload.remove_prefix(part.size());
    AppendLittleEndian(out, static_cast<std::uint32_t>(part.size()));
    out.push_back(static_cast<char>(payload.empty() ? type : FrameType::Piece));
    out.append(part);
    if (payload.empty()) return;
  }
}

std::string CutMark(std::size_t cutBytes) {
  return "[... " + std::to_string(cutBytes) + " bytes cut]";
}

std::string EncodeFrame(FrameType type, std::string_view payload) {
  std::string out;
  out.reserve(kFrameHeaderSize + payload.size());
  AppendFrame(out, type, payload);
  return out;
}

void FrameReader::Append(const char* data, std::size_t size) {
  // Drop what was handed out before the buffer grows again.
  if (start_ > 0 && start_ * 2 >= buffer_.size()) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  buffer_.append(data, size);
}

std::optional<Frame> FrameReader::Next(bool& error) {
  error = false;
  for (;;) {
    std::size_t available = buffer_.size() - start_;
    if (available < kFrameHeaderSize) return std::nullopt;
    std::uint32_t length = ReadLittleEndian(buffer_, start_);
    auto type = static_cast<std::uint8_t>(buffer_[start_ + 4]);
    if (length > kMaxPayload || !IsKnownType(type)) {
      error = true;
      return std::nullopt;
    }
    if (available < kFrameHeaderSize + length) return std::nullopt;
    std::string_view part(buffer_.data() + start_ + kFrameHeaderSize, length);
    start_ += kFrameHeaderSize + length;
    if (static_cast<FrameType>(type) == FrameType::Piece) {
      Keep(part);
      continue;
    }
    if (value_.empty() && cutBytes_ == 0)
      return Frame{static_cast<FrameType>(type), std::string(part)};
    Keep(part);
    Frame frame{static_cast<FrameType>(type), std::move(value_)};
    if (cutBytes_ > 0) frame.payload += CutMark(cutBytes_);
    value_.clear();
    cutBytes_ = 0;
    return frame;
  }
}

void FrameReader::Keep(std::string_view part) {
  std::size_t kept =
      std::min(part.size(), maxValueBytes_ - std::min(maxValueBytes_, value_.size()));
  value_.append(part.substr(0, kept));
  cutBytes_ += part.size() - kept;
}

std::vector<std::string> SplitPayload(const std::string& payload) {
  std::vector<std::string> pieces(1);
  for (char c : payload) {
    if (c == '\0')
      pieces.emplace_back();
    else
      pieces.back().push_back(c);
  }
  return pieces;
}

std::string EncodeStatus(std::int32_t status) {
  std::string out;
  AppendLittleEndian(out, static_cast<std::uint32_t>(status));
  return out;
}

std::int32_t DecodeStatus(const std::string& payload) {
  if (payload.size() != 4) return -1;
  return static_cast<std::int32_t>(ReadLittleEndian(payload, 0));
}

std::string EncodeEnd(const RunEnd& end) {
  std::string out = EncodeStatus(end.status);
  AppendLittleEndian(out, static_cast<std::uint32_t>(end.stopCode));
  return out;
}

RunEnd DecodeEnd(const std::string& payload) {
  RunEnd end;
  if (payload.size() == 4) {
    end.status = DecodeStatus(payload);
  } else if (payload.size() == 8) {
    end.status = static_cast<std::int32_t>(ReadLittleEndian(payload, 0));
    end.stopCode = static_cast<std::int32_t>(ReadLittleEndian(payload, 4));
  }
  return end;
}

}  // namespace kvq::ostrel
