// tarnwick-updater-standin: takes the place of Updater.exe in the demo
// folder. It writes the number of arguments it was started with and each
// argument, one a line, to updater-args.txt beside itself, and exits, so
// the whole update path can be tried without replacing anything.

#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    std::string self = argc > 0 ? argv[0] : "";
    const std::size_t slash = self.find_last_of("/\\");
    const std::string folder =
        slash == std::string::npos ? std::string() : self.substr(0, slash + 1);
    std::FILE *out = std::fopen((folder + "updater-args.txt").c_str(), "wb");
    if (!out)
        return 1;
    std::fprintf(out, "%d\n", argc - 1);
    for (int i = 1; i < argc; ++i)
        std::fprintf(out, "%s\n", argv[i]);
    return std::fclose(out) == 0 ? 0 : 1;
}
