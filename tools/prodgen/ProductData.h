// The generator's work, apart from its command line: checking the input,
// the synthetic image, scrambling and writing the generated source.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace prodgen {

constexpr size_t kImageSize = 0x30000;
constexpr size_t kOrderSize = 256;
constexpr int kMaxBlocks = 6;  // the working copy holds 6 blocks of 32 KiB
constexpr int kLanes = 13;
constexpr int kSumSlots = 16;

struct Product {
    std::vector<unsigned char> plain;  // kImageSize bytes
    std::vector<int> order;            // entry j: stored byte that becomes plain byte j
    int blocks = 4;
    std::string source;                // where the plain image came from, for the header comment
};

// Each throws std::runtime_error with a one-line reason.
int ParseBlockCount(const std::string& text);
void CheckImageSize(size_t size, const std::string& name);
std::vector<int> ParseBlockOrder(const std::string& text, const std::string& name);

std::vector<unsigned char> SyntheticImage();
std::vector<int> DefaultBlockOrder();

std::vector<unsigned char> Scramble(const std::vector<unsigned char>& plain, const std::vector<int>& order);
std::vector<uint32_t> LaneSums(const std::vector<unsigned char>& plain);
std::string GenerateSource(const Product& p);

}  // namespace prodgen
