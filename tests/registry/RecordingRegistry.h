#pragma once
// Passes every registry call on to the installed backend and records what was asked, so
// tests can see the arguments the procedures pass, which keys they delete in which order,
// and that every handle they got is closed again. It can also make a call raise, to stand
// for a platform that breaks mid-way.
#include "platform/Platform.h"

#include <map>
#include <set>
#include <string>
#include <vector>

class RecordingRegistry : public platform::Registry {
  public:
    explicit RecordingRegistry(platform::Registry& inner) : inner_(inner) {}

    struct Connect {
        std::string machine;
        platform::Handle root;
    };
    std::vector<Connect> connects;
    std::vector<std::uint32_t> openAccess; // access mask of each RegOpenKeyEx
    int widestOpens = 0;                   // RegOpenKey calls
    std::vector<std::uint32_t> queryBuffers;
    std::vector<std::vector<std::uint8_t>> writes;
    std::vector<std::uint32_t> enumBuffers;
    std::vector<std::string> deletedPaths; // the path each successful self-delete opened
    std::set<platform::Handle> open;       // handles handed out and not yet closed
    std::string raiseOn;                   // name of a call that raises PlatformFault

    platform::Result<platform::Handle> RegConnectRegistry(const std::string& machine,
                                                          platform::Handle root) override {
        maybeRaise("RegConnectRegistry");
        connects.push_back({machine, root});
        auto r = inner_.RegConnectRegistry(machine, root);
        if (r.ok()) open.insert(r.value);
        return r;
    }
    platform::Result<platform::Handle> RegOpenKeyEx(platform::Handle key, const std::string& subKey,
                                                    std::uint32_t options, std::uint32_t access) override {
        maybeRaise("RegOpenKeyEx");
        openAccess.push_back(access);
        return remember(inner_.RegOpenKeyEx(key, subKey, options, access), subKey);
    }
    platform::Result<platform::Handle> RegOpenKey(platform::Handle key, const std::string& subKey) override {
        maybeRaise("RegOpenKey");
        ++widestOpens;
        return remember(inner_.RegOpenKey(key, subKey), subKey);
    }
    platform::RegValueRead RegQueryValueEx(platform::Handle key, const std::string& valueName,
                                           std::uint32_t bufferBytes) override {
        maybeRaise("RegQueryValueEx");
        queryBuffers.push_back(bufferBytes);
        return inner_.RegQueryValueEx(key, valueName, bufferBytes);
    }
    std::uint32_t RegSetValueEx(platform::Handle key, const std::string& valueName, std::uint32_t type,
                                const std::vector<std::uint8_t>& data) override {
        maybeRaise("RegSetValueEx");
        writes.push_back(data);
        return inner_.RegSetValueEx(key, valueName, type, data);
    }
    platform::RegSubkeyName RegEnumKeyEx(platform::Handle key, std::uint32_t index,
                                         std::uint32_t nameBufferChars) override {
        maybeRaise("RegEnumKeyEx");
        enumBuffers.push_back(nameBufferChars);
        return inner_.RegEnumKeyEx(key, index, nameBufferChars);
    }
    std::uint32_t RegDeleteKey(platform::Handle key, const std::string& subKey) override {
        maybeRaise("RegDeleteKey");
        auto status = inner_.RegDeleteKey(key, subKey);
        if (status == 0 && subKey.empty()) deletedPaths.push_back(paths_[key]);
        return status;
    }
    std::uint32_t RegCloseKey(platform::Handle key) override {
        open.erase(key);
        return inner_.RegCloseKey(key);
    }

  private:
    void maybeRaise(const char* call) {
        if (raiseOn == call) throw platform::PlatformFault(std::string(call) + " broke");
    }
    platform::Result<platform::Handle> remember(platform::Result<platform::Handle> r,
                                                const std::string& path) {
        if (r.ok()) {
            open.insert(r.value);
            paths_[r.value] = path;
        }
        return r;
    }

    platform::Registry& inner_;
    std::map<platform::Handle, std::string> paths_;
};
