#pragma once
// The main window's two buffers as the panels see them: the source text (bytes, CR LF line
// breaks) with its selection and modified flag, and the URL list (one byte string per item)
// with its selection. The main window implements it; a panel holds no more than this of it.
#include "text/func_token.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class MainBuffers
{
public:
    virtual ~MainBuffers() = default;

    virtual std::string sourceText() const = 0;
    // Replaces the whole text; setModified: whether the command that wrote it sets the flag.
    virtual void setSourceText(std::string_view bytes, bool setModified) = 0;
    virtual void setModified(bool modified) = 0;
    // Selects length bytes from the byte offset and focuses the editor.
    virtual void selectSourceBytes(std::size_t offset, std::size_t length) = 0;
    // The end of the selection (or the caret) as a byte offset.
    virtual std::size_t sourceSelectionEndBytes() const = 0;

    virtual func_token::StringList urlListItems() const = 0;
    virtual void setUrlListItems(func_token::StringList items) = 0; // selection cleared
    // Adds the items at these indices to the selection; no scroll, no focus change.
    virtual void addUrlListSelection(const std::vector<std::size_t> &indices) = 0;
};
