// vidbrisk_mutate: writes a damaged copy of a file for the converter fuzzer, either drawn
// from a seed (the mutation text is printed) or replayed from a recorded mutation text.
#include "Mutation.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  vidbrisk_mutate [--count N] SEED IN OUT\n"
    "      Write to OUT a copy of IN with N (default 4) random changes drawn from SEED and\n"
    "      print them on stdout as a mutation text.\n"
    "  vidbrisk_mutate --apply TEXT IN OUT\n"
    "      Write to OUT a copy of IN with the changes of a mutation text.\n"
    "Mutation text: steps separated by ';', applied in order:\n"
    "  flip@OFF:0xMM  set@OFF:HEX  zero@OFF+LEN  dup@SRC+LEN@DST  cut@OFF+LEN  trunc@LEN\n";

int usage(const std::string& message) {
    std::cerr << "vidbrisk_mutate: " << message << "\n" << kUsage;
    return 2;
}

bool readFile(const std::string& path, std::vector<uint8_t>& data) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    out.close();
    return static_cast<bool>(out);
}

bool parseNumber(const std::string& text, uint64_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string applyText;
    bool apply = false;
    uint64_t count = 4;
    while (!args.empty() && args[0].rfind("--", 0) == 0) {
        if (args.size() < 2)
            return usage(args[0] + " needs a value");
        if (args[0] == "--apply") {
            apply = true;
            applyText = args[1];
        } else if (args[0] == "--count") {
            if (!parseNumber(args[1], count) || count == 0 || count > 1000)
                return usage("--count needs a number from 1 to 1000");
        } else {
            return usage("unknown option " + args[0]);
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() != (apply ? 2u : 3u))
        return usage("wrong number of arguments");
    const std::string& in = args[args.size() - 2];
    const std::string& out = args[args.size() - 1];

    std::vector<uint8_t> data;
    if (!readFile(in, data)) {
        std::cerr << "vidbrisk_mutate: cannot read " << in << "\n";
        return 1;
    }
    if (apply) {
        fuzz::Mutation mutation;
        std::string error;
        if (!fuzz::parseMutation(applyText, mutation, error))
            return usage(error);
        bool clamped = false;
        for (const fuzz::Step& step : mutation)
            fuzz::applyStep(step, data, clamped);
        if (clamped)
            std::cerr << "vidbrisk_mutate: " << in
                      << " is shorter than the mutation expects; steps were clamped to its end\n";
    } else {
        uint64_t seed = 0;
        if (!parseNumber(args[0], seed))
            return usage("SEED must be a decimal number");
        const fuzz::Mutation mutation = fuzz::mutate(data, seed, static_cast<int>(count));
        std::cout << fuzz::formatMutation(mutation) << "\n";
    }
    if (!writeFile(out, data)) {
        std::cerr << "vidbrisk_mutate: cannot write " << out << "\n";
        return 1;
    }
    return 0;
}
