#include "device_files.h"

#include "proc_address.h"

namespace {

// Asked of every handle on every simulated call, so it must be cheap: under Wine,
// GetFileInformationByHandle takes some 300 us (it reads the volume's details too), the
// file's internal index alone well under 1 us.
bool IdentityOf(HANDLE handle, LONGLONG& identity) {
    using QueryInformationFile =
        LONG(NTAPI*)(HANDLE, void* ioStatus, void* information, ULONG length, int informationClass);
    constexpr int kFileInternalInformation = 6;
    static const auto query =
        ProcAddress<QueryInformationFile>(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile");
    ULONG_PTR ioStatus[2];
    return query &&
           query(handle, ioStatus, &identity, sizeof identity, kFileInternalInformation) >= 0;
}

bool WriteDeviceFile(const std::string& path, const std::string& content) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        content.empty() ||
        (WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size());
    CloseHandle(file);
    return ok;
}

} // namespace

bool DeviceFiles::Create(const World& world, const std::string& directory, bool owned,
                         std::string& error) {
    Release();
    directory_ = directory;
    owned_ = owned;
    CreateDirectoryA(directory.c_str(), nullptr);
    for (size_t i = 0; i < world.interfaces.size(); ++i) {
        const SimulatedInterface& device = world.interfaces[i];
        const std::string path = directory + "\\" + device.name + ".hid";
        paths_.push_back(path);
        if (device.open == OpenBehaviour::Absent) {
            DeleteFileA(path.c_str());
            continue;
        }
        if (!WriteDeviceFile(path, device.readData)) {
            error = "cannot create the device file " + path;
            return false;
        }
        HANDLE probe = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        FileIdentity identity;
        const bool known = probe != INVALID_HANDLE_VALUE && IdentityOf(probe, identity);
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
        }
        if (!known) {
            error = "cannot identify the device file " + path;
            return false;
        }
        interfaces_[identity] = i;
        if (device.open == OpenBehaviour::QueryOnly) {
            guards_.push_back(
                CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        }
    }
    return true;
}

void DeviceFiles::Release() {
    for (HANDLE guard : guards_) {
        if (guard != INVALID_HANDLE_VALUE) {
            CloseHandle(guard);
        }
    }
    guards_.clear();
    if (owned_) {
        for (const std::string& path : paths_) {
            DeleteFileA(path.c_str());
        }
        RemoveDirectoryA(directory_.c_str());
    }
    paths_.clear();
    interfaces_.clear();
    owned_ = false;
}

int DeviceFiles::InterfaceOf(HANDLE handle) const {
    FileIdentity identity;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !IdentityOf(handle, identity)) {
        return -1;
    }
    const auto found = interfaces_.find(identity);
    return found == interfaces_.end() ? -1 : static_cast<int>(found->second);
}

std::string MakeScratchDirectory() {
    static LONG counter;
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "devsim-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(InterlockedIncrement(&counter));
}
