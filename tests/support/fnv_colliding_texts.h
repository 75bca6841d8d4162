// Distinct texts that all share one 32-bit FNV-1a hash, for tests and
// benchmarks of tables that must not trust that hash. Each stage is a pair of
// 4-character blocks that lead from the same hash state to the same next
// state, so choosing one block of each pair in k stages gives 2^k texts. The
// pairs were found once by a birthday search from the hash's basis; from the
// third stage on the state comes back to itself, so the third pair repeats.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Norv::Testing {

inline std::vector<std::string> FnvCollidingTexts(std::size_t count) {
    constexpr std::string_view kStages[][2] = {{"h9Gc", "THad"}, {"O0Cc", "sAad"}, {"Q9Cc", "MHad"}};
    std::size_t stageCount = 0;
    while ((std::size_t{1} << stageCount) < count) ++stageCount;
    std::vector<std::string> texts;
    texts.reserve(count);
    for (std::size_t choice = 0; choice < count; ++choice) {
        std::string text;
        for (std::size_t stage = 0; stage < stageCount; ++stage) {
            text += kStages[stage < 2 ? stage : 2][(choice >> stage) & 1];
        }
        texts.push_back(std::move(text));
    }
    return texts;
}

}  // namespace Norv::Testing
