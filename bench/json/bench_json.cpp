// SPDX-License-Identifier: GPL-3.0-or-later
// Parsing throughput of Zorvan's JSON parser next to RapidJSON (DOM) and
// nlohmann::json, on two generated documents:
//   cameras: a camera list of 1,000 pan/tilt/zoom cameras, the shape the
//            data manager decodes on every load;
//   mixed:   about 1 MB of records with escaped strings, \u escapes and
//            decimal numbers.
// Each iteration parses the whole text into a fresh tree and drops it.

#include "TXJSON.h"

#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

namespace {

std::string cameraList(int count) {
    std::string s = "[";
    char buf[1024];
    for (int i = 0; i < count; ++i) {
        const std::string base = "/cameras/" + std::to_string(i);
        const char* b = base.c_str();
        std::snprintf(
            buf, sizeof buf,
            "%s\n  {\"name\": \"Camera %d\", \"uri\": \"%s\", \"image-uri\": \"%s/image\", "
            "\"video-uri\": \"%s/video\", \"ptz\": {\"focus\": {\"relative-uri\": "
            "\"%s/ptz/focus\"}, \"menu\": {\"activate-uri\": \"%s/ptz/menu/activate\", "
            "\"hide-uri\": \"%s/ptz/menu/hide\", \"move-uri\": \"%s/ptz/menu/move\", "
            "\"show-uri\": \"%s/ptz/menu/show\"}, \"pan-tilt\": {\"relative-uri\": "
            "\"%s/ptz/pan-tilt\"}, \"presets-uri\": \"%s/ptz/presets\", \"zoom\": "
            "{\"relative-uri\": \"%s/ptz/zoom\"}}}",
            i == 0 ? "" : ",", i, b, b, b, b, b, b, b, b, b, b, b);
        s += buf;
    }
    s += "\n]\n";
    return s;
}

std::string mixedRecords(std::size_t targetBytes) {
    std::string s = "[";
    char buf[1024];
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; s.size() < targetBytes; ++i) {
        std::snprintf(
            buf, sizeof buf,
            "%s{\"id\":%d,\"title\":\"Entry \\\"%u\\\" at C:\\\\video\\\\%u\\n\\tnext line\","
            "\"label\":\"caf\\u00e9 \\u65e5\\u672c \\ud83d\\ude00 \\u00fcber\","
            "\"price\":%u.%02u,\"ratio\":-0.000%u,\"scale\":%u.%ue-%u,"
            "\"samples\":[%u.5,-%u.25,%u,0.001%u],\"active\":%s,\"note\":null,"
            "\"path\":\"/archive/%u/clip\\/part\\u0020%u.mp4\"}",
            i == 0 ? "" : ",", i, next() % 100000, next() % 1000, next() % 100000, next() % 100,
            next() % 1000, next() % 10, next() % 1000000, next() % 30, next() % 1000, next() % 1000,
            next() % 100000, next() % 100, (next() & 1) ? "true" : "false", next() % 10000,
            next() % 100);
        s += buf;
    }
    s += "]";
    return s;
}

const std::string& document(const std::string& name) {
    static const std::string cameras = cameraList(1000);
    static const std::string mixed = mixedRecords(1 << 20);
    return name == "cameras" ? cameras : mixed;
}

void BM_Zorvan(benchmark::State& state, const char* name) {
    const std::string& text = document(name);
    for (auto _ : state) {
        tx::TXJSON json;
        std::optional<tx::JsonValue> value = json.objectWithString(text, nullptr);
        if (!value) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.SetLabel(std::to_string(text.size() / 1024) + " KiB");
}

void BM_RapidJson(benchmark::State& state, const char* name) {
    const std::string& text = document(name);
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(text.c_str(), text.size());
        if (d.HasParseError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(d);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Nlohmann(benchmark::State& state, const char* name) {
    const std::string& text = document(name);
    for (auto _ : state) {
        nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
        if (j.is_discarded()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(j);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK_CAPTURE(BM_Zorvan, cameras, "cameras");
BENCHMARK_CAPTURE(BM_RapidJson, cameras, "cameras");
BENCHMARK_CAPTURE(BM_Nlohmann, cameras, "cameras");
BENCHMARK_CAPTURE(BM_Zorvan, mixed, "mixed");
BENCHMARK_CAPTURE(BM_RapidJson, mixed, "mixed");
BENCHMARK_CAPTURE(BM_Nlohmann, mixed, "mixed");

BENCHMARK_MAIN();
