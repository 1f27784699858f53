// Placeholder so that the library is never empty.
