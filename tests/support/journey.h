// The whole user journey against a running server and its simulated armband:
// record three gestures, train, upload, and recognise the gestures the wearer
// holds. Each step asserts as it goes (gtest assertions).
#pragma once

class ServerProcess;

void recordTrainUploadAndRecognise(ServerProcess& server);
