#include "platform/heapTuning.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <gnu/libc-version.h>
#include <unistd.h>

namespace tetrapan::heapTuning {

namespace {

constexpr const char* GlibcTunables = "GLIBC_TUNABLES";

bool underSanitizer()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#else
    return false;
#endif
}

// glibc learnt to advise huge pages for its heaps in 2.35; an older one would restart for nothing.
bool glibcKnowsHugePages()
{
    int major = 0;
    int minor = 0;
    return std::sscanf(gnu_get_libc_version(), "%d.%d", &major, &minor) == 2 &&
           (major > 2 || (major == 2 && minor >= 35));
}

// "always [madvise] never": advice is heard unless the machine's owner turned huge pages off.
bool kernelGivesHugePages()
{
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    const std::string text((std::istreambuf_iterator<char>(setting)), std::istreambuf_iterator<char>());
    return !text.empty() && text.find("[never]") == std::string::npos;
}

} // namespace

std::string tunedValue(const char* users)
{
    std::string value = Tunables;
    if (users && *users)
        value.append(":").append(users);
    return value;
}

bool giveBackUsersSettings()
{
    const char* kept = std::getenv(UsersTunablesVariable);
    if (!kept)
        return false;
    if (*kept == '=')
        setenv(GlibcTunables, kept + 1, 1);
    else
        unsetenv(GlibcTunables);
    unsetenv(UsersTunablesVariable);
    return true;
}

bool applies()
{
    return !underSanitizer() && glibcKnowsHugePages() && kernelGivesHugePages();
}

void restartTuned(char** argv)
{
    if (giveBackUsersSettings() || !applies())
        return;
    const char* users = std::getenv(GlibcTunables);
    const std::string kept = users ? std::string("=") + users : std::string();
    const std::string tuned = tunedValue(users);
    if (setenv(UsersTunablesVariable, kept.c_str(), 1) != 0 || setenv(GlibcTunables, tuned.c_str(), 1) != 0) {
        giveBackUsersSettings();
        return;
    }
    execv("/proc/self/exe", argv);
    // not restarted (no /proc, say): the program runs on as it was started
    giveBackUsersSettings();
}

} // namespace tetrapan::heapTuning
