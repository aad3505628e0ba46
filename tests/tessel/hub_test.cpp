// The hub's life and the SDK callback thread, as the server sees them.
#include <future>
#include <set>

#include "sim_test_support.h"

namespace tessel::sim::testing {
namespace {

using namespace std::chrono_literals;

using Hub = SimulatedArmband;

TEST(HubRun, AnswersNotInitialisedBeforeInitAndAfterDeinit) {
    Simulation simulation = makeSimulation(fastOptions());
    EXPECT_EQ(simulation.hub->run(10), kRunNotInitialised);
    ASSERT_EQ(simulation.hub->init(0), 0);
    EXPECT_EQ(simulation.hub->run(1), kRunTimeout) << "nothing to do yet";
    ASSERT_EQ(simulation.hub->deinit(), 0);
    EXPECT_EQ(simulation.hub->run(10), kRunNotInitialised);
}

TEST(HubRun, ReportsWorkThatWasDispatchedDuringTheWait) {
    Simulation simulation = makeSimulation(fastOptions());
    auto listener = std::make_shared<RecordingListener>();
    ASSERT_EQ(simulation.hub->init(0), 0);
    simulation.hub->registerListener(listener);
    ASSERT_EQ(simulation.hub->startScan(0xD0), 0);
    std::set<int> results;
    for (int i = 0; i < 2000 && results.count(kRunOk) == 0; ++i) {
        results.insert(simulation.hub->run(10));
    }
    EXPECT_TRUE(results.count(kRunOk)) << "the scan's callbacks count as work";
    for (const int result : results) {
        EXPECT_TRUE(result == kRunOk || result == kRunTimeout) << result;
    }
    simulation.hub->deinit();
}

TEST(HubRun, AWaitingRunReturnsAsSoonAsTheHubIsDeinitialised) {
    Simulation simulation = makeSimulation(fastOptions());
    ASSERT_EQ(simulation.hub->init(0), 0);
    auto waiting =
        std::async(std::launch::async, [hub = simulation.hub] { return hub->run(3600000); });
    // The deinit may come before or during the wait: both must end it.
    simulation.hub->deinit();
    ASSERT_EQ(waiting.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), kRunNotInitialised);
}

TEST_F(Hub, DeliversEveryCallbackOnOneThreadThatIsNotTheCallers) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    Completions done;
    setting->queryHardwareVersion(done.version());
    setting->setDataNotifySwitch(kNotifyEmgRaw, done.result());
    ASSERT_TRUE(done.waitForCount(2));
    ASSERT_TRUE(listener->waitForCount("DeviceData", 3));
    std::set<std::thread::id> threads;
    for (const Event& event : listener->events()) {
        threads.insert(event.thread);
    }
    for (const Completion& completion : done.all()) {
        threads.insert(completion.thread);
    }
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_NE(*threads.begin(), std::this_thread::get_id());
    EXPECT_FALSE(listener->overlapped()) << "callbacks must come one at a time";
}

TEST_F(Hub, CallsEachRegisteredListenerOnceAndForgetsUnregisteredOnes) {
    start();
    EXPECT_EQ(simulation.hub->registerListener(listener), 0) << "a second registration is harmless";
    auto second = std::make_shared<RecordingListener>();
    ASSERT_EQ(simulation.hub->registerListener(second), 0);
    ASSERT_TRUE(simulation.controller->hubState(5));
    ASSERT_TRUE(listener->waitForCount("StateChanged", 1));
    ASSERT_TRUE(second->waitForCount("StateChanged", 1));

    EXPECT_EQ(simulation.hub->unregisterListener(second), 0);
    EXPECT_NE(simulation.hub->unregisterListener(second), 0) << "already gone";
    ASSERT_TRUE(simulation.controller->hubState(6));
    ASSERT_TRUE(listener->waitForCount("StateChanged", 2));
    EXPECT_EQ(listener->count("StateChanged"), 2u);
    EXPECT_EQ(second->count("StateChanged"), 1u);
}

TEST_F(Hub, RefusesAListenerThatIsAlreadyGone) {
    start();
    std::weak_ptr<HubListener> gone;
    {
        auto shortLived = std::make_shared<RecordingListener>();
        gone = shortLived;
    }
    EXPECT_NE(simulation.hub->registerListener(gone), 0);
}

TEST_F(Hub, ReportsHubStatesAsTheyAreGiven) {
    start();
    ASSERT_TRUE(simulation.controller->hubState(3));
    ASSERT_TRUE(simulation.controller->hubState(-2));
    ASSERT_TRUE(listener->waitForCount("StateChanged", 2));
    const auto events = listener->events();
    EXPECT_EQ(events[0].value, 3);
    EXPECT_EQ(events[1].value, -2);
}

TEST_F(Hub, CanBeInitialisedAgainAfterDeinit) {
    start();
    ASSERT_TRUE(connectArmband());
    ASSERT_EQ(simulation.hub->deinit(), 0);
    EXPECT_EQ(armband->getConnectionState(), ConnectionState::Disconnected)
        << "deinit ends the link";
    EXPECT_NE(simulation.hub->startScan(0xD0), 0);
    ASSERT_EQ(simulation.hub->init(0), 0);
    ASSERT_TRUE(connectArmband()) << "a hub that was stopped works again after init";
}

TEST_F(Hub, StopsAllCallbacksWhenDestroyedWhileStreaming) {
    start(fastOptions(1, 20.0));
    ASSERT_TRUE(connectArmband());
    switchStreams(kNotifyEmgRaw | kNotifyGesture);
    ASSERT_TRUE(listener->waitForCount("DeviceData", 10));
    simulation.hub.reset();  // joins every thread of the hub
    const std::size_t after = listener->events().size();
    std::this_thread::sleep_for(50ms);  // a stream left running would deliver a packet meanwhile
    EXPECT_EQ(listener->events().size(), after);
}

TEST(HubManager, HandsOutTheSameHubEveryTime) {
    const auto first = HubManager::getHubInstance(L"Quillon Server Application");
    const auto second = HubManager::getHubInstance(L"another name");
    ASSERT_TRUE(first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->run(0), kRunNotInitialised) << "nothing starts before init";
}

}  // namespace
}  // namespace tessel::sim::testing
