mkdir Lumarind.Cfg
