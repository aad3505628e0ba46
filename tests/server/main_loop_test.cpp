#include "server/main_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/event_queue.h"
#include "base/exit_application.h"

namespace {

struct Call {
    char handler;
    std::vector<std::uint8_t> payload;
    ClientId client = kNoClient;
};

EventHandlers recordingHandlers(std::vector<Call>& calls) {
    auto make = [&calls](char name) {
        return [&calls, name](const std::uint8_t* payload, std::size_t length) {
            calls.push_back({name, std::vector<std::uint8_t>(payload, payload + length)});
        };
    };
    auto withOrigin = [&calls](char name) {
        return
            [&calls, name](const Origin& origin, const std::uint8_t* payload, std::size_t length) {
                calls.push_back(
                    {name, std::vector<std::uint8_t>(payload, payload + length), origin.client});
            };
    };
    return {withOrigin('c'), withOrigin('h'), make('t'), make('i'), make('a')};
}

std::string runCapturingLog(EventQueue& queue, const EventHandlers& handlers) {
    testing::internal::CaptureStdout();
    runMainLoop(queue, handlers);
    return testing::internal::GetCapturedStdout();
}

TEST(PayloadDump, EachByteIsWrittenAsHexWithATrailingBlank) {
    const std::uint8_t bytes[] = {2, 255};
    EXPECT_EQ(payloadDump(bytes, 2), "0x02 0xff ");
    EXPECT_EQ(payloadDump(bytes, 0), "");
}

TEST(PayloadDump, OnlyTheFirstTenBytesOfALongPayloadAreDumped) {
    std::vector<std::uint8_t> bytes(300, 0xAB);
    const std::string dump = payloadDump(bytes.data(), bytes.size());
    EXPECT_EQ(dump.size(), 50u);
    EXPECT_EQ(dump.substr(0, 5), "0xab ");
}

TEST(MainLoop, EachRecordGoesToTheHandlerOfItsTypeInOrder) {
    EventQueue queue;
    queue.push(makeEventRecord(APP_CLIENT_EVT, {0x01}), Origin{7, std::nullopt});
    queue.push(makeEventRecord(HUB_EVT, {5, 3, 1}));
    int tasks = 0;
    queue.post([&tasks] { ++tasks; });  // run as it is, without a log line
    queue.push(makeEventRecord(TIMER_EVT, {0}));
    queue.push(makeEventRecord(INTERNAL_EVT, {1}));
    queue.push(makeEventRecord(API_EVT, {7, 0, 0, 0, 0, 0, 0, 0}));
    queue.push(makeEventRecord(EXIT_EVT));
    std::vector<Call> calls;
    const std::string log = runCapturingLog(queue, recordingHandlers(calls));
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(tasks, 1);
    EXPECT_EQ(calls[0].handler, 'c');
    EXPECT_EQ(calls[0].client, 7u);
    EXPECT_EQ(calls[1].handler, 'h');
    EXPECT_EQ(calls[1].payload, (std::vector<std::uint8_t>{5, 3, 1}));
    EXPECT_EQ(calls[2].handler, 't');
    EXPECT_EQ(calls[3].handler, 'i');
    EXPECT_EQ(calls[4].handler, 'a');  // an API request logs its own short line
    EXPECT_EQ(log.find("0x07 0x00"), std::string::npos);
    EXPECT_NE(log.find("HUB_EVT: 0x05 0x03 0x01 \n"), std::string::npos);
    EXPECT_NE(log.find("EXIT_EVT: \n"), std::string::npos);
}

TEST(MainLoop, RecordsQueuedBehindAnExitAreNeverHandled) {
    EventQueue queue;
    queue.push(makeEventRecord(EXIT_EVT, {9, 9}));
    queue.push(makeEventRecord(APP_CLIENT_EVT, {0x01}));
    queue.push(makeEventRecord(EXIT_EVT));
    std::vector<Call> calls;
    const std::string log = runCapturingLog(queue, recordingHandlers(calls));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(queue.size(), 2u);
    EXPECT_NE(log.find("EXIT_EVT: 0x09 0x09 \n"), std::string::npos);
}

TEST(MainLoop, AnExitGoesAheadOfEverythingQueued) {
    EventQueue queue;
    for (int i = 0; i < 3; ++i) {
        queue.push(makeEventRecord(APP_CLIENT_EVT, {0x30}));
    }
    exitApplication(queue);
    std::vector<Call> calls;
    runCapturingLog(queue, recordingHandlers(calls));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(queue.size(), 3u);
}

TEST(MainLoop, AnUnknownTypeIsDroppedWithoutALogLine) {
    EventQueue queue;
    queue.push(makeEventRecord(7, {1, 2}));
    queue.push(makeEventRecord(EXIT_EVT));
    std::vector<Call> calls;
    const std::string log = runCapturingLog(queue, recordingHandlers(calls));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(log.find("0x01 0x02"), std::string::npos);
}

TEST(MainLoop, ARecordWithOnlyItsTypeReachesItsHandlerWithLengthZero) {
    EventQueue queue;
    queue.push(makeEventRecord(HUB_EVT));
    queue.push(makeEventRecord(EXIT_EVT));
    std::vector<Call> calls;
    runCapturingLog(queue, recordingHandlers(calls));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].payload.empty());
}

TEST(MainLoop, AClientMessageLongerThan255BytesKeepsItsTrueLength) {
    EventQueue queue;
    queue.push(makeEventRecord(APP_CLIENT_EVT, std::vector<std::uint8_t>(256, 1).data(), 256));
    queue.push(makeEventRecord(EXIT_EVT));
    std::vector<Call> calls;
    runCapturingLog(queue, recordingHandlers(calls));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].payload.size(), 256u);
}

}  // namespace
