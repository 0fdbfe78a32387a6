// A session source; its library links the windows.
