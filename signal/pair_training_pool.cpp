#include "signal/pair_training_pool.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace {

constexpr unsigned kMostThreads = 8;

}  // namespace

void trainPairsInParallel(const std::vector<PairProblem>& problems, std::vector<PairModel>& models,
                          std::vector<bool>& ok, unsigned threads, std::stop_token stop) {
    const std::size_t pairs = problems.size();
    models.assign(pairs, PairModel{});
    // One byte per pair: the elements of a vector<bool> share words and could
    // not be written from two threads.
    std::vector<unsigned char> trained(pairs, 0);
    if (threads == 0) {
        threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads);
    }
    const std::size_t workers = std::min<std::size_t>(threads, std::max<std::size_t>(pairs, 1));

    std::atomic<std::size_t> nextPair{0};
    auto work = [&] {
        for (std::size_t p; !stop.stop_requested() && (p = nextPair.fetch_add(1)) < pairs;) {
            SvmParams params;
            params.stop = stop;
            trained[p] = trainPair(problems[p], params, models[p]) ? 1 : 0;
        }
    };
    std::vector<std::thread> helpers;
    for (std::size_t w = 1; w < workers; ++w) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the ones running share the pairs
        }
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
    ok.assign(trained.begin(), trained.end());
}
