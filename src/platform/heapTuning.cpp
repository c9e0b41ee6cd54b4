#include "platform/heapTuning.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <gnu/libc-version.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace tetrapan::heapTuning {

namespace {

constexpr const char* GlibcTunables = "GLIBC_TUNABLES";
constexpr const char* ProcessNameVariable = "TETRAPAN_PROCESS_NAME";

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
    // the name the process had, as ps, top and pkill know it, rather than the "exe" of /proc/self/exe
    if (const char* name = std::getenv(ProcessNameVariable)) {
        prctl(PR_SET_NAME, name);
        unsetenv(ProcessNameVariable);
    }
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
    char name[16] = {};
    prctl(PR_GET_NAME, name);
    if (setenv(UsersTunablesVariable, kept.c_str(), 1) != 0 || setenv(ProcessNameVariable, name, 1) != 0 ||
        setenv(GlibcTunables, tuned.c_str(), 1) != 0) {
        giveBackUsersSettings();
        return;
    }
    // the file the process started from, even one an update has replaced since
    execv("/proc/self/exe", argv);
    // not restarted (no /proc, say): the program runs on as it was started
    giveBackUsersSettings();
}

} // namespace tetrapan::heapTuning
