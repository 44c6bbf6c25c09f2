// Keeps a layer library buildable while its folder has no sources of its own.
