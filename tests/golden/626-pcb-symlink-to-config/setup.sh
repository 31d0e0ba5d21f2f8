ln -s setup.Cfg link.Cfg
