int kinexcoreplaceholder = 0;
