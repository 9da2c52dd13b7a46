// The registry of this computer below a test key of HKLM, and what reaching a remote one
// gives: opening, values, access masks, subkey enumeration and deletion.
#include "Conformance.h"

#include <set>

using namespace platform;
using conformance::sz;
using conformance::TestKey;
using conformance::wine_skips;

namespace {

std::string under(const std::string& path) {
    return conformance::testKey() + "\\" + path;
}

const TestKey Values{.path = "Vt",
                     .values = {{"", reg::Sz, sz("default")},
                                {"Text", reg::Sz, sz("abc")},
                                {"Number", reg::Dword, {2, 1, 0, 0}},
                                {"Blob", reg::Binary, {0x00, 0xff, 0x10}},
                                {"List", reg::MultiSz, {'a', 0, 'b', 'c', 0, 0}}}};
const std::vector<TestKey> Tree = {Values,
                                   {.path = "Vt\\Order\\beta"},
                                   {.path = "Vt\\Order\\Alpha"},
                                   {.path = "Vt\\Order\\_under"},
                                   {.path = "Vt\\Order\\Zulu\\deep"}};

// A key of the local HKLM below the test key, closed at the end of the case.
struct Key {
    Handle handle = 0;
    std::uint32_t error = 0;
    explicit Key(const std::string& path, std::uint32_t access = reg::KeyReadWriteLink) {
        auto k = registry().RegOpenKeyEx(reg::LocalMachine, under(path), 0, access);
        error = k.error;
        if (k.ok()) handle = k.value;
    }
    ~Key() {
        if (handle) registry().RegCloseKey(handle);
    }
};

} // namespace

TEST_SUITE("registry") {

    TEST_CASE("the local HKLM and HKU connect with an empty machine name") {
        CONFORMANCE_SCENE(scene, {});
        for (Handle root : {reg::LocalMachine, reg::Users}) {
            CAPTURE(root);
            auto c = registry().RegConnectRegistry("", root);
            CHECK(c.error == 0u);
            if (c.ok()) CHECK(registry().RegCloseKey(c.value) == 0u);
        }
    }

    TEST_CASE("a machine that cannot be reached is 53") {
        CONFORMANCE_SCENE(scene, {});
        for (const char* machine : {"\\\\NOWHERE", "\\\\DOWN1", "DOWN1"}) {
            CAPTURE(machine);
            CHECK(registry().RegConnectRegistry(machine, reg::LocalMachine).error == err::BadNetPath);
        }
    }

    TEST_CASE("remote roots: HKLM and HKU connect, HKCU and HKCR are 6, no administrator 5" *
              wine_skips("Wine reaches no remote registry: every remote name is 53")) {
        CONFORMANCE_SCENE(scene, {});
        const std::tuple<const char*, Handle, std::uint32_t> rows[] = {
            {"\\\\REMOTE1", reg::LocalMachine, 0},
            {"REMOTE1", reg::Users, 0},
            {"\\\\REMOTE1", reg::CurrentUser, 6},
            {"\\\\REMOTE1", reg::ClassesRoot, 6},
            {"\\\\NOADMIN1", reg::LocalMachine, 5}};
        for (auto [machine, root, error] : rows) {
            CAPTURE(machine);
            CAPTURE(root);
            auto c = registry().RegConnectRegistry(machine, root);
            CHECK(c.error == error);
            if (c.ok()) registry().RegCloseKey(c.value);
        }
    }

    TEST_CASE("keys open in any letter case, through implied parents and with a trailing backslash") {
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        auto connected = registry().RegConnectRegistry("", reg::LocalMachine);
        REQUIRE(connected.ok());
        for (const char* path : {"Vt", "vT", "Vt\\Order\\Zulu", "Vt\\"}) {
            CAPTURE(path);
            auto ex = registry().RegOpenKeyEx(connected.value, under(path), 0, reg::KeyReadWriteLink);
            CHECK(ex.error == 0u);
            if (ex.ok()) registry().RegCloseKey(ex.value);
            auto widest = registry().RegOpenKey(connected.value, under(path));
            CHECK(widest.error == 0u);
            if (widest.ok()) registry().RegCloseKey(widest.value);
        }
        registry().RegCloseKey(connected.value);
    }

    TEST_CASE("a missing key is 2") {
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        for (const char* path : {"Nothing", "Vt\\Nothing", "Vt\\Order\\Zulu\\deep\\deeper"}) {
            CAPTURE(path);
            CHECK(Key(path).error == err::FileNotFound);
            CHECK(registry().RegOpenKey(reg::LocalMachine, under(path)).error == err::FileNotFound);
        }
    }

    TEST_CASE("a key that denies access is 5 to open and to delete; a missing key below it is 2" *
              wine_skips("Wine's registry does not enforce a key's access list")) {
        CONFORMANCE_SCENE(
            scene,
            {.keys = {{.path = "Locked", .values = {{"Text", reg::Sz, sz("secret")}}, .denied = true}}});
        CHECK(Key("Locked").error == err::AccessDenied);
        CHECK(Key("Locked\\Inner").error == err::FileNotFound);
        CHECK(registry().RegDeleteKey(reg::LocalMachine, under("Locked")) == err::AccessDenied);
    }

    TEST_CASE("values read back with their type and bytes; a missing value is 2") {
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        Key k("Vt");
        REQUIRE(k.handle);
        for (const auto& v : Values.values) {
            CAPTURE(v.name);
            auto r = registry().RegQueryValueEx(k.handle, v.name, 1024);
            CHECK(r.error == 0u);
            CHECK(r.type == v.type);
            CHECK(r.data == v.data);
        }
        CHECK(registry().RegQueryValueEx(k.handle, "TEXT", 1024).data == sz("abc"));
        CHECK(registry().RegQueryValueEx(k.handle, "Nothing", 1024).error == err::FileNotFound);
    }

    TEST_CASE("a value one byte larger than the buffer is 234 with the size it needs") {
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        Key k("Vt");
        REQUIRE(k.handle);
        auto fits = registry().RegQueryValueEx(k.handle, "Text", 4);
        CHECK(fits.error == 0u);
        CHECK(fits.data == sz("abc"));
        auto tight = registry().RegQueryValueEx(k.handle, "Text", 3);
        CHECK(tight.error == err::MoreData);
        CHECK(tight.type == reg::Sz);
        CHECK(tight.size == 4u);
        CHECK(tight.data.empty());
    }

    TEST_CASE("writing a value creates it, or replaces its type and data") {
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        Key k("Vt");
        REQUIRE(k.handle);
        CHECK(registry().RegSetValueEx(k.handle, "number", reg::Sz, sz("5")) == 0u);
        CHECK(registry().RegSetValueEx(k.handle, "Fresh", reg::Sz, sz("new")) == 0u);
        auto replaced = registry().RegQueryValueEx(k.handle, "Number", 1024);
        CHECK(replaced.type == reg::Sz);
        CHECK(replaced.data == sz("5"));
        CHECK(registry().RegQueryValueEx(k.handle, "fresh", 1024).data == sz("new"));
        // Another handle sees it too.
        Key other("VT");
        CHECK(registry().RegQueryValueEx(other.handle, "Fresh", 1024).data == sz("new"));
    }

    TEST_CASE("a key enforces the access it was opened with") {
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        Key readOnly("Vt", 0x20019); // KEY_READ
        REQUIRE(readOnly.handle);
        CHECK(registry().RegSetValueEx(readOnly.handle, "Text", reg::Sz, sz("x")) == err::AccessDenied);
        CHECK(registry().RegQueryValueEx(readOnly.handle, "Text", 1024).error == 0u);
        Key writeOnly("Vt", 0x20006); // KEY_WRITE
        REQUIRE(writeOnly.handle);
        CHECK(registry().RegQueryValueEx(writeOnly.handle, "Text", 1024).error == err::AccessDenied);
        CHECK(registry().RegEnumKeyEx(writeOnly.handle, 0, 255).error == err::AccessDenied);
    }

    // Windows leaves the order of subkeys open, so only the names are compared.
    TEST_CASE("subkeys enumerate once each, then 259; a name buffer too small is 234") {
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        Key k("Vt\\Order");
        REQUIRE(k.handle);
        std::multiset<std::string> names;
        RegSubkeyName n;
        std::uint32_t i = 0;
        for (; i < 10 && (n = registry().RegEnumKeyEx(k.handle, i, 255)).error == 0; ++i)
            names.insert(n.name);
        CHECK(n.error == err::NoMoreItems);
        CHECK(names == std::multiset<std::string>{"Alpha", "beta", "Zulu", "_under"});
        const std::string first = registry().RegEnumKeyEx(k.handle, 0, 255).name;
        const auto exact = static_cast<std::uint32_t>(first.size() + 1);
        CHECK(registry().RegEnumKeyEx(k.handle, 0, exact - 1).error == err::MoreData);
        CHECK(registry().RegEnumKeyEx(k.handle, 0, exact).name == first);
    }

    TEST_CASE("a key with subkeys is 5 to delete, a missing one 2, and letter case does not matter") {
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        CHECK(registry().RegDeleteKey(reg::LocalMachine, under("Vt\\Order\\Zulu")) == err::AccessDenied);
        CHECK(registry().RegDeleteKey(reg::LocalMachine, under("Vt\\Order\\Gone")) == err::FileNotFound);
        CHECK(registry().RegDeleteKey(reg::LocalMachine, under("vt\\order\\zulu\\DEEP")) == 0u);
        CHECK(registry().RegDeleteKey(reg::LocalMachine, under("VT\\ORDER\\zulu")) == 0u);
        CHECK(Key("Vt\\Order\\Zulu").error == err::FileNotFound);
        CHECK(Key("Vt\\Order\\Alpha").error == 0u);
        // A root with subkeys is never deleted.
        CHECK(registry().RegDeleteKey(reg::LocalMachine, "") == err::AccessDenied);
    }

    TEST_CASE("a key deleted through its own handle: the handle then says 1018 and still closes") {
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        auto deep =
            registry().RegOpenKeyEx(reg::LocalMachine, under("Vt\\Order\\Zulu\\deep"), 0, reg::KeyAllAccess);
        REQUIRE(deep.ok());
        CHECK(registry().RegDeleteKey(deep.value, "") == 0u);
        CHECK(registry().RegQueryValueEx(deep.value, "x", 10).error == 1018u); // ERROR_KEY_DELETED
        CHECK(registry().RegCloseKey(deep.value) == 0u);
        CHECK(Key("Vt\\Order\\Zulu\\deep").error == err::FileNotFound);
    }

    // An empty subkey name opens the key itself again, through a handle of its own.
    TEST_CASE("an empty subkey name opens the same key again") {
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        Key k("Vt");
        REQUIRE(k.handle);
        auto again = registry().RegOpenKeyEx(k.handle, "", 0, reg::KeyReadWriteLink);
        REQUIRE(again.ok());
        CHECK(again.value != k.handle);
        CHECK(registry().RegQueryValueEx(again.value, "Text", 1024).data == sz("abc"));
        CHECK(registry().RegCloseKey(again.value) == 0u);
        CHECK(registry().RegQueryValueEx(k.handle, "Text", 1024).error == 0u);
    }

    TEST_CASE("a predefined root needs no closing, and closing it does no harm") {
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        CHECK(registry().RegCloseKey(reg::LocalMachine) == 0u);
        CHECK(Key("Vt").error == 0u);
    }

    TEST_CASE("a key without subkeys or values: 259 at once, and its default value is 2") {
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        Key k("Vt\\Order\\Alpha");
        REQUIRE(k.handle);
        CHECK(registry().RegEnumKeyEx(k.handle, 0, 255).error == err::NoMoreItems);
        CHECK(registry().RegQueryValueEx(k.handle, "", 1024).error == err::FileNotFound);
    }

    // Names travel as UTF-8 both ways.
    TEST_CASE("key and value names beyond ASCII are kept as written") {
        const std::string key = "Gr\xc3\xbc\xc3\x9f"
                                "e";
        const std::string value = "Wert \xe2\x82\xac";
        CONFORMANCE_SCENE(scene,
                          {.keys = {{.path = "Vt\\" + key, .values = {{value, reg::Dword, {7, 0, 0, 0}}}}}});
        Key k("Vt\\" + key);
        REQUIRE(k.handle);
        auto r = registry().RegQueryValueEx(k.handle, value, 1024);
        CHECK(r.error == 0u);
        CHECK(r.data == std::vector<std::uint8_t>{7, 0, 0, 0});
        CHECK(registry().RegSetValueEx(k.handle, value + "2", reg::Dword, {8, 0, 0, 0}) == 0u);
        CHECK(registry().RegQueryValueEx(k.handle, value + "2", 1024).data ==
              std::vector<std::uint8_t>{8, 0, 0, 0});
        Key parent("Vt");
        CHECK(registry().RegEnumKeyEx(parent.handle, 0, 255).name == key);
    }

    // Windows would cut each name at its NUL and act on the name before it.
    TEST_CASE("a machine, key or value name holding a NUL is 123, never cut short") {
        using namespace std::string_literals;
        CONFORMANCE_SCENE(scene, {.keys = Tree});
        CHECK(registry().RegConnectRegistry("\0DOWN1"s, reg::LocalMachine).error == err::InvalidName);
        CHECK(registry().RegOpenKeyEx(reg::LocalMachine, under("Vt\0x"s), 0, reg::KeyReadWriteLink).error ==
              err::InvalidName);
        CHECK(registry().RegOpenKey(reg::LocalMachine, under("Vt\0x"s)).error == err::InvalidName);
        Key k("Vt");
        REQUIRE(k.error == 0u);
        CHECK(registry().RegSetValueEx(k.handle, "Text\0x"s, reg::Sz, sz("new")) == err::InvalidName);
        CHECK(registry().RegQueryValueEx(k.handle, "Text\0x"s, 64).error == err::InvalidName);
        CHECK(registry().RegQueryValueEx(k.handle, "Text", 64).data == sz("abc"));
        CHECK(registry().RegDeleteKey(k.handle, "Order\\Zulu\\deep\0x"s) == err::InvalidName);
        CHECK(Key("Vt\\Order\\Zulu\\deep").error == 0u);
    }

    TEST_CASE("a key handle never given out is 6") {
        CONFORMANCE_SCENE(scene, {});
        CHECK(registry().RegOpenKeyEx(0x1234, "SOFTWARE", 0, reg::KeyReadWriteLink).error ==
              err::InvalidHandle);
        CHECK(registry().RegCloseKey(0x1234) == err::InvalidHandle);
        CHECK(registry().RegSetValueEx(0, "x", reg::Sz, sz("x")) == err::InvalidHandle);
    }

} // TEST_SUITE
