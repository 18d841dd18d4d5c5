// Any bytes as a shard's trial file (the first byte picks CSV or JSON Lines): merged into a summary, or
// refused with a TrialFileError. Anything else (another exception, a crash, a sanitizer report, a hang) is
// a fault.
#include "trials/trial_file_reader.h"
#include "trials/trial_merge.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace velmora;
    if (size == 0)
        return 0;
    static const std::string dir = [] {
        char name[] = "/tmp/velmora-trial-fuzz-XXXXXX";
        if (!::mkdtemp(name))
            std::abort();
        return std::string(name);
    }();
    const std::string path = dir + ((data[0] & 1) ? "/t.csv" : "/t.jsonl");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data + 1, 1, size - 1, file) != size - 1 || std::fclose(file) != 0)
        std::abort();
    // Older files that name no parameters take these, as merge's options would give them.
    MergeRequest request;
    request.paths = {path};
    request.options.setup.seed = 7;
    request.options.setup.scenario.count = 8;
    request.options.setup.scenario.algorithm = 3;
    request.options.setup.scenario.fovDeg = 25;
    request.options.range = {0, 4};
    request.given[trialsKey] = true;
    try {
        mergeTrialFiles(request);
    } catch (const TrialFileError&) {
    }
    return 0;
}
