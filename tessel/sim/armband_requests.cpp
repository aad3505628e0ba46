// Requests on the setting object. Each takes effect on the armband when it
// completes; a request on an armband that is not connected, or whose link goes
// down before the answer, completes with ResponseResult::Disconnected.
#include <bit>

#include "armband.h"
#include "model_image.h"

namespace tessel::sim {
namespace {

constexpr std::uint32_t kKnownStreams = kNotifyGesture | kNotifyEmgRaw;
constexpr std::uint32_t kUploadSteps[] = {0, 20, 40, 60, 80, 100};
// Far beyond any image; longer uploads are refused without being copied.
constexpr std::uint32_t kLargestUpload = 1u << 16;

}  // namespace

void Armband::queryVersion(Operation which, VersionCallback callback) {
    MutexLock guard(lock);
    const Admission admission = admit(which);
    if (admission == Admission::Dropped || admission == Admission::Mute) {
        return;
    }
    const std::wstring text =
        which == Operation::QueryHardwareVersion ? kHardwareVersion : kFirmwareVersion;
    ResultCallback answer = [callback = std::move(callback), text](ResponseResult result) {
        if (callback) {
            callback(result, result == ResponseResult::Success ? text : std::wstring());
        }
    };
    if (admission != Admission::Proceed) {
        completeWith(failureOf(admission), std::move(answer));
        return;
    }
    completeAt(nextCompletionTime(), std::move(answer), nullptr);
}

void Armband::setDataNotifySwitch(std::uint32_t flags, ResultCallback callback) {
    MutexLock guard(lock);
    const Admission admission = admit(Operation::SetDataNotifySwitch);
    if (admission == Admission::Dropped || admission == Admission::Mute) {
        return;
    }
    if (admission != Admission::Proceed) {
        completeWith(failureOf(admission), std::move(callback));
        return;
    }
    if ((flags & ~kKnownStreams) != 0) {
        completeWith(ResponseResult::InvalidParameter, std::move(callback));
        return;
    }
    completeAt(nextCompletionTime(), std::move(callback),
               [this, flags]() REQUIRES(lock) { setStreams(flags); });
}

void Armband::openPackageId(std::uint32_t enable, ResultCallback callback) {
    MutexLock guard(lock);
    const Admission admission = admit(std::nullopt);
    if (admission == Admission::Dropped) {
        return;
    }
    if (admission != Admission::Proceed) {
        completeWith(failureOf(admission), std::move(callback));
        return;
    }
    completeAt(nextCompletionTime(), std::move(callback),
               [this, enable]() REQUIRES(lock) { packageIdOpen = enable != 0; });
}

void Armband::setEmgRawDataConfig(std::uint32_t sampleRate, std::uint8_t mask,
                                  std::uint8_t packetBytes, std::uint8_t bitsPerSample,
                                  ResultCallback callback) {
    MutexLock guard(lock);
    const Admission admission = admit(Operation::SetEmgRawDataConfig);
    if (admission == Admission::Dropped || admission == Admission::Mute) {
        return;
    }
    if (admission != Admission::Proceed) {
        completeWith(failureOf(admission), std::move(callback));
        return;
    }
    const unsigned channels = static_cast<unsigned>(std::popcount(mask));
    if (sampleRate != kSampleRate || mask == 0 || bitsPerSample != 8 ||
        packetBytes != channels * kFramesPerPacket) {
        completeWith(ResponseResult::InvalidParameter, std::move(callback));
        return;
    }
    completeAt(nextCompletionTime(), std::move(callback),
               [this, mask, packetBytes]() REQUIRES(lock) {
                   rawMask = mask;
                   rawPacketBytes = packetBytes;
               });
}

void Armband::trainModelUpdate(std::uint32_t length, const std::uint8_t* data,
                               ProgressCallback callback) {
    // The image is copied before anything else, so the caller may free it at once.
    auto image = std::make_shared<std::vector<std::uint8_t>>();
    const bool copied = data != nullptr && length <= kLargestUpload;
    if (copied) {
        image->assign(data, data + length);
    }
    const auto report = std::make_shared<ProgressCallback>(std::move(callback));
    const auto deliver = [report](ResponseResult result, std::uint32_t percentage) {
        if (*report) {
            (*report)(result, percentage);
        }
    };

    MutexLock guard(lock);
    const Admission admission = admit(Operation::TrainModelUpdate);
    if (admission == Admission::Dropped || admission == Admission::Mute) {
        return;
    }
    if (admission != Admission::Proceed) {
        const ResponseResult failure = failureOf(admission);
        loop.post(nextCompletionTime(), [deliver, failure] { deliver(failure, 0); });
        return;
    }
    if (!copied || !isValidModelImage(image->data(), image->size())) {
        loop.post(nextCompletionTime(),
                  [deliver] { deliver(ResponseResult::InvalidParameter, 0); });
        return;
    }
    // Uploads follow one another; each reports its progress in steps of 150 to
    // 250 ms and ends at the first failure.
    const std::uint64_t epoch = linkEpoch;
    const auto failed = std::make_shared<bool>(false);  // touched under lock only
    Clock::time_point at = std::max(uploadFreeAt, Clock::now());
    for (const std::uint32_t percentage : kUploadSteps) {
        at += delayFromNow(150, 250) - Clock::now();
        loop.post(at, [this, epoch, failed, image, percentage, deliver] {
            ResponseResult result = ResponseResult::Success;
            {
                MutexLock inner(lock);
                if (*failed) {
                    return;
                }
                if (linkEpoch != epoch || connection != ConnectionState::Connected) {
                    *failed = true;
                    result = ResponseResult::Disconnected;
                } else if (percentage == 100) {
                    model = *image;
                }
            }
            deliver(result, percentage);
        });
    }
    uploadFreeAt = at;
}

}  // namespace tessel::sim
