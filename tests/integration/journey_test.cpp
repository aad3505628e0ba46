// The whole user journey against the simulated armband, sped up: record three
// gestures, train, upload, and recognise the gestures the wearer makes.
#include <gtest/gtest.h>

#include "tests/support/journey.h"
#include "tests/support/server_process.h"

namespace {

TEST(Journey, RecordTrainUploadAndRecogniseThreeGestures) {
    ServerProcess server;
    ASSERT_TRUE(server.start()) << server.log();
    recordTrainUploadAndRecognise(server);
}

}  // namespace
