#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace velorin {

// Transforms every element on several threads, in chunks of about a quarter of an even
// share per processor, and returns the results in the input's order. The caller waits for
// the whole map; `transform` must only read shared data that nothing writes meanwhile.
template <typename Input, typename Transform>
auto parallelMap(const std::vector<Input>& inputs, Transform transform)
{
    using Output = decltype(transform(inputs.front()));
    constexpr std::size_t kChunksPerProcessor = 4;
    const std::size_t n = inputs.size();
    const std::size_t processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t chunk = std::max<std::size_t>(1, n / (kChunksPerProcessor * processors));
    const std::size_t chunkCount = (n + chunk - 1) / chunk;
    // A slot of its own for each result: a std::vector<bool> would pack neighbours that two
    // threads write into one word.
    struct Slot {
        Output value;
    };
    std::vector<Slot> slots(n);
    std::atomic<std::size_t> nextChunk = 0;
    const auto work = [&] {
        for (std::size_t i = nextChunk++; i < chunkCount; i = nextChunk++) {
            for (std::size_t at = i * chunk; at < std::min((i + 1) * chunk, n); ++at)
                slots[at].value = transform(inputs[at]);
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (std::size_t t = 1; t < std::min(processors, chunkCount); ++t)
            helpers.emplace_back(work);
        work();
    }
    std::vector<Output> outputs;
    outputs.reserve(n);
    for (Slot& slot : slots)
        outputs.push_back(std::move(slot.value));
    return outputs;
}

} // namespace velorin
