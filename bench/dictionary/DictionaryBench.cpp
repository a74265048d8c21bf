// SPDX-License-Identifier: GPL-3.0-or-later
// Dictionary look-up figures with the Debian dictionaries in place:
//   lirra_dictionary_bench warm NATIVE [ROUNDS]  p50/p99/max of warm look-ups (WordNet + NATIVE)
//   lirra_dictionary_bench first NATIVE          service start to the first answer, in ms
//   lirra_dictionary_bench memory N1 N2 N3       resident memory growth with WordNet + three
//   lirra_dictionary_bench coverage              headwords per language, and the share of the
//                                                sample lines' words each language translates
//   lirra_dictionary_bench lookup TEXT NATIVE    the answer, as JSON
// Each prints one JSON object. Run through run.py, which starts a fresh process per figure.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "DictionaryService.h"
#include "Words.h"

namespace {

using namespace lirra::server::dictionary;
using Clock = std::chrono::steady_clock;

// Lines as a film's subtitles have them: contractions, inflections, phrases, names.
const char* const kSample[] = {
    "I don't think we're going to make it in time.",
    "She went back to the house and looked up the number.",
    "The children were running across the field, laughing.",
    "You'd better give up on him, he's never coming back.",
    "It's raining cats and dogs out there!",
    "We'll meet at the station tomorrow morning.",
    "Tom's car broke down on the highway again.",
    "Why didn't you tell me about the studies?",
    "My mother-in-law is staying with us for a while.",
    "He bought three loaves of bread and some cheese.",
    "They've been working on the bridge for months.",
    "Can you turn off the lights when you leave?",
    "I'd rather stay home and read a good book.",
    "The police caught the thief near the old church.",
    "Her brother-in-law was arrested last night.",
    "Stop wasting time and get to work!",
    "This is the best day of my life.",
    "We need to find a way out of here, quickly.",
    "The weather's been terrible all week.",
    "Don't worry, everything's going to be fine.",
    "He's taller than his father now.",
    "They were sitting quietly in the kitchen.",
    "The company hired twenty new employees.",
    "Could you please pass me the salt?",
    "I've never seen anything like this before.",
    "The doctor said I should drink more water.",
    "She was wearing a beautiful red dress.",
    "The train leaves at half past seven.",
    "Look out! There's a car coming!",
    "I can't believe you forgot my birthday.",
    "The mice ate all the cheese in the cupboard.",
    "We should have listened to her warnings.",
    "He fell asleep watching television.",
    "They built a new school near the river.",
    "Put your coat on, it's freezing outside.",
    "What are you looking at?",
    "I'm sorry, I didn't mean to hurt you.",
    "The geese flew south for the winter.",
    "She's been teaching English for ten years.",
    "Let's get out of here before they come back.",
};

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// This thread's CPU time: on a busy machine wall times mostly measure the other processes.
double cpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

DictionaryOptions options() {
    DictionaryOptions out;
    out.folders = {"/usr/share/dictd"};
    out.morphologyFolder = kDefaultMorphologyFolder;
    return out;
}

// Every word of the sample as a click would send it: the line from that word to its end.
std::vector<std::string> clicks() {
    std::vector<std::string> out;
    for (const char* line : kSample) {
        const std::string text = line;
        bool start = true;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool letter = std::isalnum(static_cast<unsigned char>(text[i]));
            if (letter && start) out.push_back(text.substr(i));
            start = !letter && text[i] != '\'' && text[i] != '-';
        }
    }
    return out;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

nlohmann::json percentiles(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    auto at = [&](double q) { return times[static_cast<std::size_t>(q * (times.size() - 1))]; };
    return {
        {"count", times.size()}, {"p50Ms", at(0.5)}, {"p99Ms", at(0.99)}, {"maxMs", times.back()}};
}

int warm(const std::string& native, int rounds) {
    DictionaryService service(options());
    const auto texts = clicks();
    // The first pass: dictionaries open, but each text's chunks still to inflate.
    std::vector<double> firstPass;
    for (const auto& text : texts) {
        const double cpuBegan = cpuMs();
        service.lookup(text, native);
        firstPass.push_back(cpuMs() - cpuBegan);
    }
    std::vector<double> times, cpu;
    std::vector<std::pair<double, std::string>> slowest;
    for (int round = 0; round < rounds; ++round) {
        for (const auto& text : texts) {
            const auto began = Clock::now();
            const double cpuBegan = cpuMs();
            const auto answer = service.lookup(text, native);
            cpu.push_back(cpuMs() - cpuBegan);
            times.push_back(ms(Clock::now() - began));
            slowest.emplace_back(cpu.back(), text);
            if (answer.status != 200) return 1;
        }
    }
    auto out = percentiles(times);
    out["cpu"] = percentiles(cpu);
    out["firstPassCpu"] = percentiles(firstPass);
    out["native"] = native;
    std::sort(slowest.rbegin(), slowest.rend());
    slowest.resize(std::min<std::size_t>(slowest.size(), 5));
    out["slowest"] = slowest;
    std::printf("%s\n", out.dump().c_str());
    return 0;
}

int first(const std::string& native) {
    const auto began = Clock::now();
    const double cpuBegan = cpuMs();
    DictionaryService service(options());
    const auto answer = service.lookup("Running out of time", native);
    const double total = ms(Clock::now() - began);
    std::printf("%s\n", nlohmann::json{{"native", native},
                                       {"firstMs", total},
                                       {"firstCpuMs", cpuMs() - cpuBegan},
                                       {"answerBytes", answer.json.size()}}
                            .dump()
                            .c_str());
    return answer.status == 200 ? 0 : 1;
}

int memory(const std::vector<std::string>& natives) {
    const long before = residentKiB();
    DictionaryService service(options());
    for (const auto& native : natives) {
        for (const auto& text : clicks()) service.lookup(text, native);
    }
    const long after = residentKiB();
    std::printf("%s\n", nlohmann::json{{"natives", natives},
                                       {"beforeKiB", before},
                                       {"afterKiB", after},
                                       {"growthMiB", (after - before) / 1024.0}}
                            .dump()
                            .c_str());
    return 0;
}

int coverage() {
    DictionaryService service(options());
    const auto sources = nlohmann::json::parse(service.sources().json);
    // Distinct words of the sample, each looked up on its own.
    std::vector<std::string> words;
    for (const char* line : kSample) {
        for (const auto& word : splitWords(line, 64)) {
            if (std::find(words.begin(), words.end(), word.text) == words.end())
                words.push_back(word.text);
        }
    }
    nlohmann::json out = nlohmann::json::array();
    for (const auto& language : sources["languages"]) {
        const std::string code = language["code"];
        std::size_t translated = 0;
        if (language["status"] == "ok") {
            for (const auto& word : words) {
                const auto answer = nlohmann::json::parse(service.lookup(word, code).json);
                if (!answer["translations"].empty()) ++translated;
            }
        }
        out.push_back({{"code", code},
                       {"status", language["status"]},
                       {"headwords", language["headwords"]},
                       {"sampleWords", words.size()},
                       {"translated", translated}});
    }
    std::printf("%s\n", out.dump().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "warm") {
        return warm(args[1], args.size() > 2 ? std::stoi(args[2]) : 5);
    }
    if (args.size() == 2 && args[0] == "first") return first(args[1]);
    if (args.size() >= 2 && args[0] == "memory") return memory({args.begin() + 1, args.end()});
    if (args.size() == 1 && args[0] == "coverage") return coverage();
    if (args.size() == 3 && args[0] == "lookup") {
        DictionaryService service(options());
        std::printf("%s\n", service.lookup(args[1], args[2]).json.c_str());
        return 0;
    }
    std::fprintf(stderr,
                 "usage: lirra_dictionary_bench warm NATIVE [ROUNDS] | first NATIVE | memory "
                 "NATIVE... | coverage | lookup TEXT NATIVE\n");
    return 2;
}
