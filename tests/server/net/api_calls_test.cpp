#include "server/net/api_calls.h"

#include <gtest/gtest.h>

#include "base/event_queue.h"
#include "server/main_loop.h"
#include "server/server.h"

namespace {

// Carries out every queued API_EVT as the main loop would.
void runQueuedApiEvents(ServerContext& server, ApiCalls& calls) {
    const EventHandlers handlers = serverEventHandlers(server, &calls);
    while (std::optional<Event> event = server.eventQueue.tryPop()) {
        dispatchEvent(*event, handlers);
    }
}

TEST(ApiCalls, RequestsAreAnsweredOnTheMainLoopAndTheirNumberIsBounded) {
    ServerContext server{nullptr};
    ApiCalls calls(server.eventQueue);
    std::vector<int> statuses;
    for (std::size_t i = 0; i < kMaxWaitingApiRequests; ++i) {
        ApiRequest request;
        request.method = "GET";
        request.target = i % 2 == 0 ? "/api/nothing" : "/api/status";
        ASSERT_TRUE(calls.submit(std::move(request), [&statuses](ApiResponse response) {
            statuses.push_back(response.status);
        }));
    }
    EXPECT_FALSE(calls.submit({}, [](ApiResponse) { FAIL() << "refused, never answered"; }));
    EXPECT_TRUE(statuses.empty());  // nothing is carried out off the main loop
    runQueuedApiEvents(server, calls);
    ASSERT_EQ(statuses.size(), kMaxWaitingApiRequests);
    EXPECT_EQ(statuses[0], 404);
    EXPECT_EQ(statuses[1], 200);
    EXPECT_EQ(calls.waiting(), 0u);

    ASSERT_TRUE(calls.submit({}, [](ApiResponse) { FAIL() << "discarded"; }));
    calls.discard();
    runQueuedApiEvents(server, calls);  // its record names a request no longer waiting
    EXPECT_EQ(calls.waiting(), 0u);
}

}  // namespace
