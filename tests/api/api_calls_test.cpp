#include "api/api_calls.h"

#include <gtest/gtest.h>

#include "core/event_queue.h"
#include "core/main_loop.h"

namespace {

// Carries out every queued API_EVT as the main loop would.
void runQueuedApiEvents() {
    EventHandlers handlers;
    handlers.api = handleApiEvents;
    while (EventRecord record = eventQueue.tryPop()) {
        dispatchEvent(*record, handlers);
    }
}

TEST(ApiCalls, RequestsAreAnsweredOnTheMainLoopAndTheirNumberIsBounded) {
    std::vector<int> statuses;
    for (std::size_t i = 0; i < kMaxWaitingApiRequests; ++i) {
        ApiRequest request;
        request.method = "GET";
        request.target = i % 2 == 0 ? "/api/nothing" : "/api/status";
        ASSERT_TRUE(submitApiRequest(std::move(request), [&statuses](ApiResponse response) {
            statuses.push_back(response.status);
        }));
    }
    EXPECT_FALSE(submitApiRequest({}, [](ApiResponse) { FAIL() << "refused, never answered"; }));
    EXPECT_TRUE(statuses.empty());  // nothing is carried out off the main loop
    runQueuedApiEvents();
    ASSERT_EQ(statuses.size(), kMaxWaitingApiRequests);
    EXPECT_EQ(statuses[0], 404);
    EXPECT_EQ(statuses[1], 200);
    EXPECT_EQ(waitingApiRequests(), 0u);

    ASSERT_TRUE(submitApiRequest({}, [](ApiResponse) { FAIL() << "discarded"; }));
    discardApiRequests();
    runQueuedApiEvents();  // its record names a request no longer waiting
    EXPECT_EQ(waitingApiRequests(), 0u);
}

}  // namespace
