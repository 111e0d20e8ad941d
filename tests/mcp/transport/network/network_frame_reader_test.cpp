#include "mcp/transport/network/network_frame_reader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mcp::network {
namespace {

using Frames = std::vector<std::string>;

const std::string kHeartbeat("\xF0\x9F\x92\x93\xDC\x05\0\0\0\0\0\0", 12);

// Every frame read from `chunks`: a message as itself, a heartbeat as "<heartbeat>", a refused
// line as "<overlong N>".
Frames read(const std::vector<std::string>& chunks, std::size_t limit = 1 << 20) {
    NetworkFrameReader reader(limit);
    Frames frames;
    for (const auto& chunk : chunks) {
        reader.append(chunk);
        while (auto frame = reader.next()) {
            switch (frame->kind) {
                case NetworkFrameReader::Frame::Kind::message: frames.emplace_back(frame->message); break;
                case NetworkFrameReader::Frame::Kind::heartbeat: frames.push_back("<heartbeat>"); break;
                case NetworkFrameReader::Frame::Kind::overlongLine:
                    frames.push_back("<overlong " + std::to_string(frame->size) + ">");
                    break;
            }
        }
    }
    return frames;
}

TEST(NetworkFrameReader, TellsHeartbeatsFromMessagesAtLineStarts) {
    const std::string withMarker = "{\"text\":\"\xF0\x9F\x92\x93 and \xF0\x9F\x92\x93\"}";
    const std::string frameWithLineFeed("\xF0\x9F\x92\x93\n\0\0\0\0\0\0\0", 12);
    const struct {
        std::string_view name;
        std::vector<std::string> chunks;
        Frames want;
    } cases[] = {
        {"two messages", {"a\nb\n"}, {"a", "b"}},
        {"a message over two reads", {"a", "\n"}, {"a"}},
        {"a heartbeat alone", {kHeartbeat}, {"<heartbeat>"}},
        {"a heartbeat, then a message in the same read", {kHeartbeat + "{\"id\":1}\n"}, {"<heartbeat>", "{\"id\":1}"}},
        {"a message, then a heartbeat", {"{\"id\":1}\n" + kHeartbeat}, {"{\"id\":1}", "<heartbeat>"}},
        {"the marker inside a message", {withMarker + "\n"}, {withMarker}},
        {"the marker beginning a read inside a message", {"{\"text\":\"", "\xF0\x9F\x92\x93\"}\n"}, {"{\"text\":\"\xF0\x9F\x92\x93\"}"}},
        {"a heartbeat whose count holds a line feed", {frameWithLineFeed + "x\n"}, {"<heartbeat>", "x"}},
        {"the marker alone waits for the rest", {"\xF0\x9F\x92\x93"}, {}},
        {"a line starting like the marker but not it", {std::string("\xF0\x9F\x00x\n", 5)}, {std::string("\xF0\x9F\x00x", 4)}},
        {"empty lines around a heartbeat", {"\n" + kHeartbeat + "\n\na\n"}, {"<heartbeat>", "a"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(read(row.chunks), row.want);
    }
}

TEST(NetworkFrameReader, GivesTheSameFramesWhereverTheReadsSplit) {
    const std::string input = kHeartbeat + "{\"a\":\"\xF0\x9F\x92\x93\"}\n" + kHeartbeat + kHeartbeat + "b\n\n" + kHeartbeat;
    const Frames want{"<heartbeat>", "{\"a\":\"\xF0\x9F\x92\x93\"}", "<heartbeat>", "<heartbeat>", "b", "<heartbeat>"};
    for (std::size_t first = 0; first <= input.size(); ++first) {
        for (std::size_t second = first; second <= input.size(); ++second) {
            SCOPED_TRACE(std::to_string(first) + "," + std::to_string(second));
            EXPECT_EQ(read({input.substr(0, first), input.substr(first, second - first), input.substr(second)}), want);
        }
    }
}

TEST(NetworkFrameReader, SkipsALineOverTheLimit) {
    EXPECT_EQ(read({"123456789\n" + kHeartbeat + "ok\n"}, 8), (Frames{"<overlong 9>", "<heartbeat>", "ok"}));
}

}  // namespace
}  // namespace mcp::network
