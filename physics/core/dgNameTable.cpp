#include "physics/core/dgNameTable.h"

#include "physics/core/dgHash.h"
#include "physics/core/dgMemory.h"

#include <cstring>

dgNameTextPage::dgNameTextPage(std::size_t bytes)
    : m_text(static_cast<char*>(dgMalloc(bytes))), m_bytes(bytes) {}

dgNameTextPage::~dgNameTextPage() {
    dgFree(m_text);
}

dgNameTable& dgNameTable::Instance() {
    static dgNameTable instance;
    return instance;
}

dgNameTable::dgNameTable() : m_left(0), m_write(nullptr) {
    AddPage();
}

void dgNameTable::AddPage() {
    m_write = m_pages.Prepend(kPageBytes)->GetInfo().m_text;
    m_left = kPageBytes;
}

const char* dgNameTable::Insert(dgUnsigned32 id, const char* text) {
    if (const auto* node = m_ids.Find(id)) {
        return node->GetInfo();
    }
    const std::size_t bytes = std::strlen(text) + 1;
    char* stored;
    if (bytes > kPageBytes) {
        // Too long for any page: it gets one of its own, behind the page being filled.
        stored = m_pages.Append(bytes)->GetInfo().m_text;
    } else {
        if (m_left < bytes) {
            AddPage();
        }
        stored = m_write;
        m_write += bytes;
        m_left -= bytes;
    }
    dgCopyBytes(stored, text, bytes);
    m_ids.Insert(stored, id);
    return stored;
}

const char* dgNameTable::Find(dgUnsigned32 id) const {
    const auto* node = m_ids.Find(id);
    return node != nullptr ? node->GetInfo() : nullptr;
}

dgUnsigned32 dgRegisterName(const char* name) {
    if (name == nullptr) {
        return 0;
    }
    const dgUnsigned32 id = dgTypeIdFromName(name);
    dgNameTable::Instance().Insert(id, name);
    return id;
}

const char* dgNameFromId(dgUnsigned32 id) {
    return dgNameTable::Instance().Find(id);
}
