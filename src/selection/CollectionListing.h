#pragma once
// How the collection page's list came out; when it is not Listed the page closed itself without
// a choice (result 1) and the wizard says why.
namespace quillon {

enum class CollectionListing {
    Listed,        // the page showed the collections (or the user chose one)
    Unreadable,    // the description files could not be read: message 2001
    Empty,         // they hold no collection: message 2017
    NoneSupported, // collections exist, but none has a profile of an installed direction: 2052
};

} // namespace quillon
