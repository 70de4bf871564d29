// Replaced as the folder's core files arrive.
