// tarnwick-sandbox: runs the service emulator on 127.0.0.1 for the demo
// until SIGINT or SIGTERM.

#include "Sandbox.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: tarnwick-sandbox [--port N] [--challenge never|always|firsttime]\n"
                 "                        [--version V] [--publisher ID] [--prodcode CODE]\n");
    return 2;
}

// The newest item shows a picture the emulator draws and a link into its
// own pages, so both paths of the news window can be tried.
std::vector<sandbox::NewsItem> demoNews(const sandbox::Sandbox &box)
{
    const std::string news = box.newsBase();
    return {
        {4, "Spring offer: pictures in the news", "2006-04-02",
         "<h3>Spring offer</h3><p><img src=\"" + news +
             "pictures/spring.png\" width=\"320\" height=\"100\"></p>"
             "<p>Half price on every upgrade this month. <a href=\"" +
             box.siteBase() + "help.html\">Read the details</a>.</p>"},
        {3, "Version 2.01 is out", "2006-03-14",
         "<h3>Version 2.01</h3><p>Faster result counts and a new <b>CSV</b> export.</p>"},
        {2, "Tips: precise or broad?", "2006-02-02",
         "<p>Precise search counts pages with the exact phrase; broad search counts pages "
         "with all the words in any order.</p>"},
        {1, "Welcome to Tarnwick", "2006-01-10",
         "<p>Thank you for choosing Tarnwick &amp; happy researching!</p>"},
    };
}

} // namespace

int main(int argc, char **argv)
{
    int port = 0;
    std::string challenge = "firsttime";
    std::string version = "2.01";
    std::string publisher = sandbox::kDefaultPublisherId;
    std::string prodcode = sandbox::kDefaultProdCode;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return usage();
        const std::string value = argv[++i];
        if (arg == "--port")
            port = std::atoi(value.c_str());
        else if (arg == "--challenge")
            challenge = value;
        else if (arg == "--version")
            version = value;
        else if (arg == "--publisher")
            publisher = value;
        else if (arg == "--prodcode")
            prodcode = value;
        else
            return usage();
    }

    // Block the stop signals before the server threads start so that only
    // sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sandbox::Sandbox box;
    if (challenge == "never")
        box.setChallengeMode(sandbox::ChallengeMode::Never);
    else if (challenge == "always")
        box.setChallengeMode(sandbox::ChallengeMode::Always);
    else if (challenge == "firsttime")
        box.setChallengeMode(sandbox::ChallengeMode::FirstTime);
    else
        return usage();
    box.setPublishedVersion(version);
    box.setValidPublisher(publisher, prodcode);
    if (!box.start(port)) {
        std::fprintf(stderr, "tarnwick-sandbox: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    box.setNewsItems(demoNews(box));
    std::printf("base        %s\n", box.baseUrl().c_str());
    std::printf("suggest     %s\n", box.suggestBase().c_str());
    std::printf("google      %s\n", box.googleBase().c_str());
    std::printf("yahoo       %s\n", box.yahooBase().c_str());
    std::printf("msn         %s\n", box.msnBase().c_str());
    std::printf("news        %s\n", box.newsBase().c_str());
    std::printf("liveupdate  %s\n", box.liveUpdateBase().c_str());
    std::printf("site        %s\n", box.siteBase().c_str());
    std::printf("publisher   %s\n", publisher.c_str());
    std::printf("prodcode    %s\n", prodcode.c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    box.stop();
    return 0;
}
