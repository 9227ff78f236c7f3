// diskwright-bench: runs one group of benchmarks, or all of them.
#include <cstdio>
#include <cstring>
#include <string>

struct BenchGroup {
    const char *Name;
    int (*Run)(int argc, char **argv);
};

static const BenchGroup groups[] = {
    {"none", [](int, char **) { return 0; }},
    {"engine", [](int c, char **v) { int bench_engine(int, char **); return bench_engine(c, v); }},
    {"get", [](int c, char **v) { int bench_get(int, char **); return bench_get(c, v); }},
    {"flush", [](int c, char **v) { int bench_flush(int, char **); return bench_flush(c, v); }},
    {"display", [](int c, char **v) { int bench_display(int, char **); return bench_display(c, v); }},
    {"view", [](int c, char **v) { int bench_view(int, char **); return bench_view(c, v); }},
    {"recognition", [](int c, char **v) { int bench_recognition(int, char **); return bench_recognition(c, v); }},
    {"slices", [](int c, char **v) { int bench_slices(int, char **); return bench_slices(c, v); }},
    {"collection", [](int c, char **v) { int bench_collection(int, char **); return bench_collection(c, v); }},
};

int main(int argc, char **argv) {
    std::string which = argc > 1 ? argv[1] : "all";
    int status = 0;
    bool found = false;
    for (const BenchGroup &g : groups) {
        if (which == "all" || which == g.Name) {
            found = true;
            status |= g.Run(argc - 1, argv + 1);
        }
    }
    if (!found) {
        fprintf(stderr, "usage: diskwright-bench [all");
        for (const BenchGroup &g : groups) fprintf(stderr, "|%s", g.Name);
        fprintf(stderr, "]\n");
        return 2;
    }
    return status;
}
