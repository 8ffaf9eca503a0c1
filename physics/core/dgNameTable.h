#pragma once
// Process-wide store of object names, keyed by their hash; texts never move until the process ends.

#include "physics/core/dgList.h"
#include "physics/core/dgTree.h"

/// One page of name text (owned, from dgMalloc): 7936 bytes, or exactly one text's size when the text
/// does not fit an ordinary page.
struct dgNameTextPage {
    explicit dgNameTextPage(std::size_t bytes);
    ~dgNameTextPage();
    dgNameTextPage(const dgNameTextPage&) = delete;
    dgNameTextPage& operator=(const dgNameTextPage&) = delete;

    char* m_text;
    std::size_t m_bytes;
};

/// Texts packed into pages, found by id in a tree. The first text entered under an id stays.
class dgNameTable {
public:
    static constexpr std::size_t kPageBytes = 7936;

    /// The process-wide table, made on first use.
    static dgNameTable& Instance();

    dgNameTable();
    dgNameTable(const dgNameTable&) = delete;
    dgNameTable& operator=(const dgNameTable&) = delete;

    /// Stores text under id unless the id is already there; returns the stored text.
    const char* Insert(dgUnsigned32 id, const char* text);
    /// The stored text of id, or null.
    const char* Find(dgUnsigned32 id) const;

    dgInt32 GetCount() const { return m_ids.GetCount(); }
    dgInt32 GetPageCount() const { return m_pages.GetCount(); }
    /// Free bytes left in the page being filled.
    std::size_t GetBytesLeft() const { return m_left; }

private:
    void AddPage();

    // Pages are declared after the tree so they are released first, as at exit.
    dgTree<const char*, dgUnsigned32> m_ids;
    dgList<dgNameTextPage> m_pages; ///< the first page is the one being filled
    std::size_t m_left;
    char* m_write;
};

/// The id of a name: dgHash of its bytes with seed 0 (0 for null, which touches nothing). The text is
/// entered in the process-wide table unless its id is already there.
dgUnsigned32 dgRegisterName(const char* name);

/// The text registered under id, or null.
const char* dgNameFromId(dgUnsigned32 id);
